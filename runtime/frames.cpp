// The frames on the stack that will use a system again, innermost first:
// recovery points belong to the process, not to the system current.  Kept
// apart from the frames' users, whose inlined scopes would otherwise look to
// the compiler like locals left behind in the list.
#include "runtime/system.hpp"

namespace {

kiv::SystemFrame *g_frames = nullptr;

}  // namespace

void kiv::enterFrame(SystemFrame &frame) {
  frame.outer = g_frames;
  g_frames = &frame;
}

void kiv::leaveFrame(SystemFrame &frame) {
  SystemFrame **link = &g_frames;
  while (*link && *link != &frame) link = &(*link)->outer;
  if (*link) *link = frame.outer;
}

const kiv::SystemFrame *kiv::innermostRecovery() {
  const SystemFrame *f = g_frames;
  while (f && !f->recovery) f = f->outer;
  return f;
}

void kiv::forgetFrames(const KIVSystem *sys) {
  for (SystemFrame *f = g_frames; f; f = f->outer)
    if (f->sys == sys) f->sys = nullptr;
}
