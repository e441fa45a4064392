#include "support/kiv_test.hpp"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_HAVE_MALLOC_HOOK 1
#include <sanitizer/allocator_interface.h>
#endif
#endif

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

namespace {
long g_allocations = 0;

// Outside ctest the test binaries still find the shipped KIV root.
const bool g_kivSet = [] { return ::setenv("KIV", KIV_SOURCE_ROOT_DIR, 0) == 0; }();
[[maybe_unused]] void onMalloc(const volatile void *, size_t) { ++g_allocations; }
[[maybe_unused]] void onFree(const volatile void *) {}
}  // namespace

long allocationCount() {
#ifdef KIV_HAVE_MALLOC_HOOK
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(&onMalloc, &onFree) > 0;
  return hooked ? g_allocations : -1;
#else
  return -1;
#endif
}

namespace {
// The folder scratchDir made last, empty when there is none.
std::string &made() {
  static std::string path;
  return path;
}

std::string runningTest() {
  std::string test = "none";
  if (const auto *info = ::testing::UnitTest::GetInstance()->current_test_info())
    test = std::string(info->test_suite_name()) + "." + info->name();
  for (char &c : test)
    if (c == '/') c = '_';
  return test;
}
}  // namespace

std::string scratchDir() {
  const std::string path = ::testing::TempDir() + "kiv_" + std::to_string(::getpid()) + "_" + runningTest();
  if (made() != path) {
    removeScratchDir();  // an earlier test's, should its end have gone unseen
    std::error_code ec;
    std::filesystem::remove_all(path, ec);  // left by a process that had this id
    if (!std::filesystem::create_directories(path, ec))
      ADD_FAILURE() << "cannot make the scratch folder " << path << ": " << ec.message();
    made() = path;
  }
  return path;
}

std::string tempPath(const std::string &name) { return scratchDir() + "/" + name; }

void removeScratchDir() {
  std::string &path = made();
  if (path.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  if (ec) std::fprintf(stderr, "cannot remove the scratch folder %s: %s\n", path.c_str(), ec.message().c_str());
  path.clear();
}

std::string readFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

int scratchEntries() {
  int n = 0;
  for (const auto &e : std::filesystem::directory_iterator(scratchDir())) n += e.exists() || e.is_symlink();
  return n;
}

namespace {
// The limit as it was before the FullDisk that lives (one at a time).
struct rlimit before_full {};
void freeSpace(int) { setrlimit(RLIMIT_FSIZE, &before_full); }
}  // namespace

FullDisk::FullDisk(rlim_t bytes, bool freesAgain) {
  getrlimit(RLIMIT_FSIZE, &before_full);
  handler_ = signal(SIGXFSZ, freesAgain ? &freeSpace : SIG_IGN);
  struct rlimit small = before_full;
  small.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &small);
}

FullDisk::~FullDisk() {
  setrlimit(RLIMIT_FSIZE, &before_full);
  signal(SIGXFSZ, handler_);
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
