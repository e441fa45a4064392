#include "support/kiv_test.hpp"

#include <unistd.h>

namespace kiv::test {

namespace {
void capture(FILE *stream, const char *text, void *user) {
  auto *t = static_cast<SystemTest *>(user);
  (stream == stdout ? t->out_ : t->err_) += text;
}
}  // namespace

void SystemTest::SetUp() {
  sys_ = KivCreateSystem();
  KivMakeCurrent(sys_);
  KivInstallPrintHook(sys_, &capture, this);
}

void SystemTest::TearDown() {
  KivReleaseSystem(sys_);
  sys_ = nullptr;
}

std::string SystemTest::takeErr() {
  std::string s;
  s.swap(err_);
  return s;
}

std::string SystemTest::takeOut() {
  std::string s;
  s.swap(out_);
  return s;
}

std::string tempPath(const std::string &name) {
  std::string test = "none";
  if (const auto *info = ::testing::UnitTest::GetInstance()->current_test_info())
    test = std::string(info->test_suite_name()) + "." + info->name();
  for (char &c : test)
    if (c == '/') c = '_';
  return ::testing::TempDir() + "kiv_" + std::to_string(::getpid()) + "_" + test + "_" + name;
}

std::string dataDir() {
  const char *d = std::getenv("KIV_TEST_DATA");
  return d ? d : KIV_TEST_DATA_DIR;
}

std::string kivRoot() {
  const char *d = std::getenv("KIV");
  return d ? d : KIV_SOURCE_ROOT_DIR;
}

}  // namespace kiv::test
