#include <string>
#include <tuple>
#include <vector>

#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

std::vector<std::string> *g_calls = nullptr;  // test-local record of hook calls

void recordInt(int code, int arg) { g_calls->push_back("int:" + std::to_string(code) + ":" + std::to_string(arg)); }
void recordPtr(int code, void *p) {
  g_calls->push_back("ptr:" + std::to_string(code) + ":" + static_cast<const char *>(p));
}
void installDuringEnd(int, int) { KivInstallAtEnd(&recordInt, 99); }

class HooksTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    g_calls = &calls;
  }
  void TearDown() override {
    SystemTest::TearDown();
    g_calls = nullptr;
  }
  std::vector<std::string> calls;
};

TEST_F(HooksTest, RunOnceInReverseOrderWithTheEndCode) {
  static char tag[] = "p";
  KivInstallAtEnd(&recordInt, 1);
  KivInstallAtEndPtr(&recordPtr, tag);
  KivInstallAtEnd(&recordInt, 3);
  EXPECT_EQ(KivEndRun(7), 3);
  EXPECT_EQ(calls, (std::vector<std::string>{"int:7:3", "ptr:7:p", "int:7:1"}));
  calls.clear();
  EXPECT_EQ(KivEndRun(0), 0);  // the lists were emptied
  EXPECT_TRUE(calls.empty());
}

TEST_F(HooksTest, ResetsApplyAtEndAndHooksOfTheNextRunRunAtItsEnd) {
  int flag = 5;
  EXPECT_EQ(KivResetIntAtEnd(&flag, -1), 0);
  KivInstallAtEnd(&installDuringEnd, 0);
  KivEndRun(2);
  EXPECT_EQ(flag, -1);
  EXPECT_TRUE(calls.empty());  // the hook installed while ending waits for the next run
  flag = 4;
  KivEndRun(3);
  EXPECT_EQ(flag, 4);  // a reset applies once
  EXPECT_EQ(calls, (std::vector<std::string>{"int:3:99"}));
}

TEST_F(HooksTest, ReleasingASystemRunsItsPendingHooks) {
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  KivInstallAtEnd(&recordInt, 42);
  KivMakeCurrent(sys_);
  KivReleaseSystem(other);
  EXPECT_EQ(calls, (std::vector<std::string>{"int:0:42"}));
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);  // the current system is left alone
}

struct Sentinel {
  bool *flag;
  ~Sentinel() { *flag = true; }
};

void deep(int depth, bool *destroyed) {
  Sentinel s{destroyed};
  void (*volatile next)(int, bool *) = &deep;  // a real call chain, not a loop
  if (depth == 0) KivExit(3);
  next(depth - 1, destroyed);
}

TEST_F(SystemTest, ExitFromDeepInsideUnwindsToTheRecoveryPoint) {
  bool destroyed = false;
  int status = guarded([&] {
    deep(20, &destroyed);
    return 0;
  });
  EXPECT_EQ(status, -2);
  EXPECT_EQ(exitCode(), 3);
  EXPECT_TRUE(destroyed);
}

// With no recovery point on the stack the process ends with the code (not
// an uncaught exception); after a guarded call returns, the same holds.
TEST(ExitOutsideRecovery, EndsTheProcessWithTheCode) {
  EXPECT_EXIT(
      {
        KIVSystem *sys = KivCreateSystem();
        KivMakeCurrent(sys);
        KivGuardedCall(sys, [](void *) { return 0; }, nullptr);
        MemoryError("nowhere");
      },
      testing::ExitedWithCode(1), "Could not allocate storage in nowhere");
}

TEST_F(SystemTest, GuardedCallThroughTheFlatInterface) {
  auto ok = [](void *d) { return *static_cast<int *>(d); };
  auto fails = [](void *) -> int { MemoryError("somewhere"); };
  int v = 17;
  EXPECT_EQ(KivGuardedCall(sys_, ok, &v), 17);
  EXPECT_EQ(KivGuardedCall(sys_, fails, nullptr), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\n\nCould not allocate storage in somewhere\nTerminating program\n");
}

TEST_F(SystemTest, SubmodelErrorLevels) {
  EXPECT_EQ(kivHandleSubmodelError("FP04", 1, 0), 0);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(kivHandleSubmodelError("FP04", 2, 1), 0);
  EXPECT_EQ(takeErr(), "\nWarning in FP04 instance 2.\n");
  EXPECT_EQ(guarded([] { return kivHandleSubmodelError("HCDEGP0", 1, 2); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\nFatal error in HCDEGP0 instance 1.\nTerminating the program.\n");
}

TEST_F(SystemTest, DisplayMessageUsesTheHookElseEndsTheRun) {
  EXPECT_EQ(guarded([] {
              DisplayMessage("bad file");
              return 0;
            }),
            -2);
  EXPECT_EQ(takeErr(), "bad file\n");
  std::string shown;
  KivInstallDisplayHook(sys_, [](const char *m, void *u) { *static_cast<std::string *>(u) += m; }, &shown);
  DisplayMessage("hello");
  EXPECT_EQ(shown, "hello");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(SystemTest, LongMessagesArriveWhole) {
  std::string big(5000, 'x');
  kivfprintf(stdout, "<%s>", big.c_str());
  EXPECT_EQ(takeOut(), "<" + big + ">");
}

TEST_F(SystemTest, PropertySlotsByName) {
  int position = 0;
  for (const char *name : {"HYD_Index", "PFROMRHO_TABLES", "BINARYTREE", "INITIAL_STATE_REGISTER", "KIV_STATE_STATUS"})
    EXPECT_EQ(KivGetPropertyIndex(name), ++position) << name;
  void **slot = KivGetPropertySlot(3);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(*slot, nullptr);
  EXPECT_EQ(KivGetPropertySlot(0), nullptr);
  EXPECT_EQ(KivGetPropertySlot(6), nullptr);
  EXPECT_EQ(guarded([] { return KivGetPropertyIndex("NOPE"); }), -2);
  EXPECT_EQ(takeErr(),
            "KivGetPropertyIndex: Asked for an unknown property (NOPE)- probably mismatch in library "
            "versions\n");
}

TEST_F(SystemTest, SystemsKeepTheirOwnSlotsAndStores) {
  int a = 1, b = 2;
  *KivGetPropertySlot(1) = &a;
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  EXPECT_EQ(*KivGetPropertySlot(1), nullptr);
  *KivGetPropertySlot(1) = &b;
  KivNewDataStore(other, "xCD_geom", 0, &b);
  KivMakeCurrent(sys_);
  EXPECT_EQ(*KivGetPropertySlot(1), &a);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 0), nullptr);
  EXPECT_EQ(KivGetDataStore(other, "xCD_geom", 0), &b);
  KivReleaseSystem(other);
}

TEST_F(SystemTest, DataStoreByNameAndIndex) {
  int a = 0, b = 0;
  KivDataStore *e = KivNewDataStore(sys_, "xCD_geom", 3, &a);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(KivNewDataStore(sys_, "xCD_geom", 3, &b), e);  // same entry, pointer replaced
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 3), &b);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 4), nullptr);
  EXPECT_EQ(KivSetDataStore(sys_, "xCD_geom", 4, &a), 1);
  EXPECT_EQ(KivSetDataStore(sys_, "xCD_geom", 3, &a), 0);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 3), &a);
}

TEST_F(SystemTest, SubmodelStoresAreZeroedAtTheEndOfTheRun) {
  KivSubmodelStore *s = KivGetSubmodelStore("HCDEGP0", 1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::tuple(s->nreal, s->ninteger, s->npointer), std::tuple(16, 0, 1));
  s->real[15] = 2.5;
  int x;
  s->pointer[0] = &x;
  KivEndRun(0);
  EXPECT_EQ(s->real[15], 0.0);
  EXPECT_EQ(s->pointer[0], nullptr);
  EXPECT_EQ(KivGetSubmodelStore("HCDEGP0", 2), nullptr);
  KivSubmodelStore *t = KivAddSubmodelStore("XX01", 2, 1, 3, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(KivGetSubmodelStore("XX01", 2), t);
  EXPECT_EQ(t->integer[2], 0);
}

}  // namespace

namespace {

TEST(AllocationCount, SeesHeapAllocations) {
  if (kiv::test::allocationCount() < 0) GTEST_SKIP() << "needs the sanitizer's allocator hook";
  const long before = kiv::test::allocationCount();
  void *volatile p = std::malloc(16);
  std::free(p);
  EXPECT_GT(kiv::test::allocationCount(), before);
}

}  // namespace

namespace {

TEST_F(SystemTest, SharedHelpersOfTheLibrary) {
  // An allocation failure ends the run with the label named.
  auto failing = []() -> int { throw std::bad_alloc(); };
  EXPECT_EQ(guarded([&] { return kiv::guardAllocation("step", failing); }), -2);
  EXPECT_EQ(takeErr(), "\n\nCould not allocate storage in step\nTerminating program\n");
  EXPECT_EQ(exitCode(), 1);

  // A scope leaves the previous system current, even when left by an
  // exception, and a typed slot answers for whichever system is current.
  kiv::PropertySlot<int> slot("PFROMRHO_TABLES");
  int mine = 1, theirs = 2;
  slot.set(&mine);
  KIVSystem *other = KivCreateSystem();
  try {
    kiv::CurrentSystemScope scope(other);
    EXPECT_EQ(slot.get(), nullptr);
    slot.set(&theirs);
    throw 3;
  } catch (int) {
  }
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);
  EXPECT_EQ(slot.get(), &mine);
  KivMakeCurrent(other);
  EXPECT_EQ(slot.get(), &theirs);
  KivMakeCurrent(sys_);
  slot.set(nullptr);
  KivReleaseSystem(other);
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);
}

}  // namespace
