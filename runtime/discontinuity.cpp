// The discontinuity protocol between the model's non-smooth functions and
// the driver of its evaluations, and the run-state queries.
#include "runtime/system.hpp"

namespace {

kiv::Discontinuity *disc() {
  KIVSystem *sys = QOR_XB_GlobalSystem;
  return sys ? &sys->disc : nullptr;
}

const KIVRunFlags *requireFlags(const char *who) {
  KIVSystem *sys = GetGlobalSystem();
  if (!sys->run_flags) {
    kivfprintf(stderr, "\n%s: the run flags are not initialised; the run has not been set up.\n",
               who);
    KivExit(1);
  }
  return sys->run_flags.get();
}

}  // namespace

extern "C" {

int getofg_(void) {
  auto *d = disc();
  return d ? d->mode : 0;
}

void disloc_(int *cond) {
  auto *d = disc();
  if (!d || d->mode != KIV_EVAL_LOCATE || !cond || !*cond) return;
  if (d->answer == 2)
    d->answer = d->logging ? 4 : 3;
  else if (d->answer == 4)
    d->answer = 3;
}

void dishan_(int *cond, int *second) {
  auto *d = disc();
  if (!d || d->mode != KIV_EVAL_LOCATE || !cond || !*cond) return;
  const bool sec = second && *second;
  if (d->answer == 2)
    d->answer = sec ? 4 : 3;
  else if (d->answer == 4 && !sec)
    d->answer = 3;
}

void distim_(double *t) {
  auto *d = disc();
  if (!d || d->mode != KIV_EVAL_LOCATE || !t) return;
  if (!(*t > d->time)) return;  // only events ahead of the current time
  if (!d->has_event || *t < d->event) {
    d->event = *t;
    d->has_event = true;
  }
}

int firstc_(void) {
  auto *d = disc();
  return d ? d->first_call : 1;
}

int stepdn_(void) {
  if (auto *d = disc()) ++d->step_down;
  return 0;
}

int isprint_(void) {
  KIVSystem *sys = QOR_XB_GlobalSystem;
  if (!sys || !sys->run_flags) return 1;
  return sys->run_flags->printing ? 1 : 0;
}

int staborcs_(void) {
  const KIVRunFlags *f = requireFlags("staborcs");
  return (f->stabilizing || f->consistent_state) ? 1 : 0;
}

int isvisible_(void) {
  KIVSystem *sys = QOR_XB_GlobalSystem;
  if (!sys || !sys->run_flags) return 1;
  const KIVRunFlags *f = sys->run_flags.get();
  if (f->stabilizing || f->consistent_state) return 0;
  return (f->printing || f->visibility || f->linearisation) ? 1 : 0;
}

int isbatchrun_(void) {
  requireFlags("isbatchrun");
  return GetGlobalSystem()->files.extension.empty() ? 0 : 1;
}

void KivBeginEvaluation(int flag) {
  auto &d = GetGlobalSystem()->disc;
  d.mode = flag;
  d.answer = flag;
}

int KivGetAnswerWord(void) { return GetGlobalSystem()->disc.answer; }

void KivSetDiscontinuityLogging(int on) { GetGlobalSystem()->disc.logging = on ? 1 : 0; }

void KivSetTime(double t) {
  auto &d = GetGlobalSystem()->disc;
  d.time = t;
  if (d.has_event && !(d.event > t)) d.has_event = false;
}

int KivGetTimeEvent(double *t) {
  const auto &d = GetGlobalSystem()->disc;
  if (!d.has_event) return 0;
  if (t) *t = d.event;
  return 1;
}

void KivClearTimeEvent(void) { GetGlobalSystem()->disc.has_event = false; }

int KivTakeStepDownRequests(void) {
  auto &d = GetGlobalSystem()->disc;
  int n = d.step_down;
  d.step_down = 0;
  return n;
}

void KivSetFirstCall(int first) { GetGlobalSystem()->disc.first_call = first ? 1 : 0; }

void KivSetRunFlags(const KIVRunFlags *flags) {
  KIVSystem *sys = GetGlobalSystem();
  if (flags)
    sys->run_flags = std::make_unique<KIVRunFlags>(*flags);
  else
    sys->run_flags.reset();
}

KIVRunFlags *KivGetRunFlags(void) { return GetGlobalSystem()->run_flags.get(); }

}  // extern "C"
