// A host with two systems: called in turn, one released or made current
// inside a call on the other, recovery points nested across them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

std::string g_ended;  // tags of the end-of-run hooks run, in order
char g_tag_a[] = "A", g_tag_b[] = "B";
void noteEnd(int, void *tag) { g_ended += static_cast<const char *>(tag); }

// A registry of one index per system, as a model's set-up keeps one: defined
// once per run, emptied by its hook at the end of the run.
int g_defined = 0;
void **indexSlot() { return KivGetPropertySlot(KivGetPropertyIndex("HYD_Index")); }
void forgetIndex(int, int) { *indexSlot() = nullptr; }
// Sets up one run of the system called: its index, and a hook noting tag.
int setUpRun(void *tag) {
  if (*indexSlot()) {
    kivfprintf(stderr, "Hydraulic property index 0 is already defined.\n");
    KivExit(1);
  }
  *indexSlot() = &g_defined;
  KivInstallAtEnd(&forgetIndex, 0);
  KivInstallAtEndPtr(&noteEnd, tag);
  return 0;
}

void quiet(KIVSystem *sys) { KivInstallPrintHook(sys, [](FILE *, const char *, void *) {}, nullptr); }

// What a case in a child process saw that it should not have; the child ends
// with 0 when nothing, else prints the list and ends with 1.
struct Checks {
  std::string failed;
  void operator()(bool ok, const char *what) {
    if (!ok) failed += std::string(what) + "\n";
  }
};

[[noreturn]] void inChild(void (*scenario)(Checks &)) {
  Checks check;
  scenario(check);
  std::fputs(check.failed.c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(check.failed.empty() ? 0 : 1);
}

// Calls sys with a callback that does act(other) (KivReleaseSystem or
// KivMakeCurrent) and then ends with KivExit(code), or returns 6 for a
// negative code.
int callActing(KIVSystem *sys, void (*act)(KIVSystem *), KIVSystem *other, int code) {
  struct Act {
    void (*act)(KIVSystem *);
    KIVSystem *other;
    int code;
  } a{act, other, code};
  return KivGuardedCall(
      sys,
      [](void *d) {
        const auto *a = static_cast<Act *>(d);
        a->act(a->other);
        if (a->code >= 0) KivExit(a->code);
        return 6;
      },
      &a);
}

// Two systems and what happened between them, for calls nested in a call.
struct Nest {
  KIVSystem *a, *b;
  int inner;
  KIVSystem *after_inner;
} g_nest;

// The call on b releases a, current before it: b stays current and its run
// ends as usual.
void releaseTheOtherInsideACall(Checks &check) {
  KIVSystem *a = KivCreateSystem(), *b = KivCreateSystem();
  KivMakeCurrent(a);
  KivInstallAtEndPtr(&noteEnd, g_tag_a);
  KivMakeCurrent(b);
  KivInstallAtEndPtr(&noteEnd, g_tag_b);
  KivMakeCurrent(a);
  g_ended.clear();
  check(callActing(b, &KivReleaseSystem, a, -1) == 6, "the call returns its result");
  check(g_ended == "A", "a's hooks ran at its release");
  check(QOR_XB_GlobalSystem == b, "b is current after its call");
  check(KivEndRun(0) == 1 && g_ended == "AB", "b's run ends");
  KivReleaseSystem(b);
}

// The call on b releases b itself and then meets a fatal error: -2, no code
// written into freed memory, nothing current afterwards; a stays as it was.
void releaseTheCalledOneThenFail(Checks &check) {
  KIVSystem *a = KivCreateSystem(), *b = KivCreateSystem();
  quiet(a);
  KivMakeCurrent(a);
  check(callActing(b, &KivReleaseSystem, b, 2) == -2, "the call answers -2");
  check(QOR_XB_GlobalSystem == nullptr, "nothing is current");
  check(KivGetExitCode(a) == 0, "a keeps no code");
  KivReleaseSystem(a);
}

// Nested: the inner call, on b, releases a, whose call is outer; a fatal
// error after it returns to a's recovery point, which no longer has a system
// to make current: b, current then, stays so.
void releaseTheOuterOneInsideANestedCall(Checks &check) {
  KIVSystem *a = KivCreateSystem(), *b = KivCreateSystem();
  quiet(b);
  g_nest = {a, b, 0, nullptr};
  auto nest = [](KIVSystem *) { g_nest.inner = callActing(g_nest.b, &KivReleaseSystem, g_nest.a, -1); };
  check(callActing(a, nest, nullptr, 3) == -2, "the outer call answers -2");
  check(g_nest.inner == 6, "the inner call returns its result");
  check(QOR_XB_GlobalSystem == b, "b is current");
  check(KivGetExitCode(b) == 0, "b keeps no code of a's call");
  KivReleaseSystem(b);
}

// The call on a makes b current and meets a fatal error: -2 with the code
// in a, a current again, and the process goes on.
void failAfterMakingTheOtherCurrent(Checks &check) {
  KIVSystem *a = KivCreateSystem(), *b = KivCreateSystem();
  quiet(a);
  quiet(b);
  check(callActing(a, &KivMakeCurrent, b, 5) == -2, "the call answers -2");
  check(KivGetExitCode(a) == 5, "the code is a's");
  check(KivGetExitCode(b) == 0, "b keeps no code");
  check(QOR_XB_GlobalSystem == a, "a is current");
  KivReleaseSystem(b);
  KivReleaseSystem(a);
}

// A hook releases the system whose run ends: the hooks after it still run,
// and the system goes when its run has ended, leaving nothing current.
void releaseItselfFromAHook(Checks &check) {
  KIVSystem *a = KivCreateSystem();
  KivMakeCurrent(a);
  g_ended.clear();
  KivInstallAtEndPtr(&noteEnd, g_tag_a);
  KivInstallAtEndPtr([](int, void *self) { KivReleaseSystem(static_cast<KIVSystem *>(self)); }, a);
  check(KivEndRun(0) == 2, "both hooks ran");
  check(g_ended == "A", "the hook after the release ran");
  check(QOR_XB_GlobalSystem == nullptr, "nothing is current");
}

TEST_F(SystemTest, TwoSystemsCalledInTurnReleasedOrMadeCurrentInsideACallAndNested) {
  // Called in turn, each run ended as hosts do: KivGuardedCall, KivEndRun.
  KIVSystem *a = sys_, *b = KivCreateSystem();
  quiet(b);
  g_ended.clear();
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(KivGuardedCall(a, &setUpRun, g_tag_a), 0) << "run " << run;
    EXPECT_EQ(QOR_XB_GlobalSystem, a);
    EXPECT_EQ(KivEndRun(0), 2);
    EXPECT_EQ(KivGuardedCall(b, &setUpRun, g_tag_b), 0) << "run " << run;
    EXPECT_EQ(QOR_XB_GlobalSystem, b);
    EXPECT_EQ(KivEndRun(0), 2);
  }
  EXPECT_EQ(g_ended, "ABAB");
  EXPECT_EQ(KivGetExitCode(a), 0);
  EXPECT_EQ(KivGetExitCode(b), 0);

  // Nested: a fatal error inside the inner call, after it made a current,
  // returns to the inner recovery point and its code is b's alone; b is
  // current after it, and the outer call goes on, a current after it.
  g_nest = {a, b, 0, nullptr};
  auto nest = [](KIVSystem *) {
    g_nest.inner = callActing(g_nest.b, &KivMakeCurrent, g_nest.a, 4);
    g_nest.after_inner = QOR_XB_GlobalSystem;
  };
  EXPECT_EQ(callActing(a, nest, nullptr, -1), 6);
  EXPECT_EQ(g_nest.inner, -2);
  EXPECT_EQ(g_nest.after_inner, b);
  EXPECT_EQ(KivGetExitCode(b), 4);
  EXPECT_EQ(KivGetExitCode(a), 0);
  EXPECT_EQ(QOR_XB_GlobalSystem, a);

  // A scope that makes b current gives back none, not c, current before it,
  // when c goes meanwhile.
  KIVSystem *c = KivCreateSystem();
  KivMakeCurrent(c);
  {
    kiv::CurrentSystemScope scope(b);
    KivReleaseSystem(c);
    EXPECT_EQ(QOR_XB_GlobalSystem, b);
  }
  EXPECT_EQ(QOR_XB_GlobalSystem, nullptr);
  KivReleaseSystem(b);
  KivMakeCurrent(a);

  // Each of these read freed memory or ended the process before: in a child.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(inChild(&releaseTheOtherInsideACall), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(inChild(&releaseTheCalledOneThenFail), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(inChild(&releaseTheOuterOneInsideANestedCall), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(inChild(&failAfterMakingTheOtherCurrent), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(inChild(&releaseItselfFromAHook), testing::ExitedWithCode(0), "");
}

}  // namespace
