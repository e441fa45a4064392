// Systems, property slots, the data store, end-of-run hooks, the recovery
// point and the model's per-submodel stores.
#include <cstring>

#include "runtime/system.hpp"

KIVSystem *QOR_XB_GlobalSystem = nullptr;

namespace {

struct ModelStoreSize {
  const char *name;
  int instance, nreal, ninteger, npointer;
};

// Per-submodel store sizes of the model this library carries.
constexpr ModelStoreSize kModelStores[] = {
    {"FP04", 1, 0, 0, 0},  {"TK000", 1, 0, 0, 0},    {"TK000", 2, 0, 0, 0},
    {"PM000", 1, 0, 0, 0}, {"HCDEGP0", 1, 16, 0, 1},
};

void bindView(kiv::SubmodelStore &s) {
  s.c.real = s.real.empty() ? nullptr : s.real.data();
  s.c.nreal = static_cast<int>(s.real.size());
  s.c.integer = s.integer.empty() ? nullptr : s.integer.data();
  s.c.ninteger = static_cast<int>(s.integer.size());
  s.c.pointer = s.pointer.empty() ? nullptr : s.pointer.data();
  s.c.npointer = static_cast<int>(s.pointer.size());
}

// A hook that keeps installing hooks at the release ends it all the same.
constexpr int kReleaseRounds = 100;

// Counts the hook lists that KivEndRun runs for a system.
class Ending {
 public:
  explicit Ending(KIVSystem *sys) : sys_(sys) { ++sys_->ending; }
  ~Ending() { --sys_->ending; }
  Ending(const Ending &) = delete;
  Ending &operator=(const Ending &) = delete;

 private:
  KIVSystem *sys_;
};

// Runs the hooks taken from sys at a recovery point of its own, so that a
// failing hook ends itself, not the process; returns how many ran.  A hook
// cannot free sys meanwhile: its release waits for the end of the run.
int runHooks(KIVSystem *sys, const std::vector<kiv::AtEndHook> &hooks, int code) {
  const Ending ending(sys);
  kiv::RecoveryPoint point(sys);
  int ran = 0;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    try {
      if (it->fn)
        it->fn(code, it->argument);
      else if (it->ptr_fn)
        it->ptr_fn(code, it->pointer);
    } catch (const kiv::ExitException &e) {
      // One failing hook must not keep the others from freeing their data.
      point.keepExit(e.code());
    }
    ++ran;
  }
  return ran;
}

}  // namespace


KivDataStore *kiv::findData(KIVSystem *sys, std::string_view name, int index) {
  if (!sys) sys = GetGlobalSystem();
  const auto it = sys->datastore.find(DataKeyOrder::View{index, name});
  return it == sys->datastore.end() ? nullptr : &it->second;
}

KivDataStore *kiv::storeData(KIVSystem *sys, std::string_view name, int index, void *ptr) {
  if (!sys) sys = GetGlobalSystem();
  auto it = sys->datastore.find(DataKeyOrder::View{index, name});
  if (it == sys->datastore.end()) it = sys->datastore.emplace(DataKey{index, std::string(name)}, KivDataStore{}).first;
  it->second.pointer = ptr;
  return &it->second;
}

bool kiv::eraseData(KIVSystem *sys, std::string_view name, int index) {
  if (!sys) sys = GetGlobalSystem();
  const auto it = sys->datastore.find(DataKeyOrder::View{index, name});
  if (it == sys->datastore.end()) return false;
  sys->datastore.erase(it);
  return true;
}

extern "C" {

KIVSystem *KivCreateSystem(void) {
  auto *sys = new KIVSystem();
  kiv::CurrentSystemScope current(sys);
  for (const auto &m : kModelStores)
    KivAddSubmodelStore(m.name, m.instance, m.nreal, m.ninteger, m.npointer);
  return sys;
}

void KivReleaseSystem(KIVSystem *sys) {
  if (!sys || sys->releasing) return;
  if (sys->ending > 0) {
    // One of its hooks: the system goes when its run has ended.
    sys->release_pending = true;
    return;
  }
  sys->releasing = true;
  {
    kiv::CurrentSystemScope current(sys);
    // Hooks that hooks install while the system goes run too: nothing is
    // left to run after it.
    for (int round = 0; round < kReleaseRounds && (!sys->at_end.empty() || !sys->resets.empty()); ++round)
      KivEndRun(0);
    if (sys->global_params && sys->free_global_params) sys->free_global_params(sys->global_params);
    sys->global_params = nullptr;
  }
  // A released system is current no more, nor made current again.
  kiv::forgetFrames(sys);
  if (QOR_XB_GlobalSystem == sys) QOR_XB_GlobalSystem = nullptr;
  delete sys;
}

void KivMakeCurrent(KIVSystem *sys) { QOR_XB_GlobalSystem = sys; }

KIVSystem *GetGlobalSystem(void) {
  // A host that never created a system still gets one; it is the host's to
  // release with KivReleaseSystem.
  if (!QOR_XB_GlobalSystem) QOR_XB_GlobalSystem = KivCreateSystem();
  return QOR_XB_GlobalSystem;
}

int KivEndRun(int code) {
  KIVSystem *sys = GetGlobalSystem();
  // Take the lists first: hooks installed while they run belong to the next run.
  std::vector<kiv::AtEndHook> hooks;
  hooks.swap(sys->at_end);
  std::vector<kiv::IntReset> resets;
  resets.swap(sys->resets);
  const int ran = runHooks(sys, hooks, code);
  for (auto it = resets.rbegin(); it != resets.rend(); ++it) *it->flag = it->value;
  KivCleanModelStore();
  sys->text_hand_offs.clear();
  sys->disc = kiv::Discontinuity{.logging = sys->disc.logging};
  if (sys->release_pending && sys->ending == 0) KivReleaseSystem(sys);
  return ran;
}

int KivGuardedCall(KIVSystem *sys, int (*fn)(void *data), void *data) {
  if (!sys || !fn) return -1;
  return kiv::guarded(sys, [&] { return fn(data); });
}

int KivGetExitCode(const KIVSystem *sys) { return sys ? sys->exit_code : 0; }

int IsSlaveSystem(void) { return GetGlobalSystem()->slave ? 1 : 0; }

void KivSetSlaveSystem(KIVSystem *sys, int slave) {
  if (sys) sys->slave = slave;
}

int KivGetPropertyIndex(const char *name) {
  for (int i = 0; i < kiv::kPropertyCount; ++i)
    if (name && std::strcmp(name, kiv::kPropertyNames[i]) == 0) return i + 1;
  kivfprintf(stderr,
             "KivGetPropertyIndex: Asked for an unknown property (%s)- probably mismatch in "
             "library versions\n",
             name ? name : "(null)");
  KivExit(1);
}

void **KivGetPropertySlot(int index) {
  if (index < 1 || index > kiv::kPropertyCount) return nullptr;
  return &GetGlobalSystem()->property[static_cast<size_t>(index)];
}

KivDataStore *KivNewDataStore(KIVSystem *sys, const char *name, int index, void *ptr) {
  return name ? kiv::storeData(sys, name, index, ptr) : nullptr;
}

void *KivGetDataStore(KIVSystem *sys, const char *name, int index) {
  KivDataStore *e = name ? kiv::findData(sys, name, index) : nullptr;
  return e ? e->pointer : nullptr;
}

int KivSetDataStore(KIVSystem *sys, const char *name, int index, void *ptr) {
  KivDataStore *e = name ? kiv::findData(sys, name, index) : nullptr;
  if (!e) return 1;
  e->pointer = ptr;
  return 0;
}

void KivInstallAtEnd(KivAtEndFn fn, int argument) {
  if (!fn) return;
  kiv::AtEndHook h;
  h.fn = fn;
  h.argument = argument;
  GetGlobalSystem()->at_end.push_back(h);
}

void KivInstallAtEndPtr(KivAtEndPtrFn fn, void *pointer) {
  if (!fn) return;
  kiv::AtEndHook h;
  h.ptr_fn = fn;
  h.pointer = pointer;
  GetGlobalSystem()->at_end.push_back(h);
}

int KivResetIntAtEnd(int *flag, int value) {
  if (flag) GetGlobalSystem()->resets.push_back({flag, value});
  return 0;
}

KivSubmodelStore *KivGetSubmodelStore(const char *submodel, int instance) {
  if (!submodel) return nullptr;
  for (auto &s : GetGlobalSystem()->model_stores)
    if (s.c.instance == instance && std::strcmp(s.c.name, submodel) == 0) return &s.c;
  return nullptr;
}

KivSubmodelStore *KivAddSubmodelStore(const char *submodel, int instance, int nreal,
                                      int ninteger, int npointer) {
  if (!submodel || std::strlen(submodel) >= sizeof(KivSubmodelStore{}.name) || nreal < 0 ||
      ninteger < 0 || npointer < 0)
    return nullptr;
  KIVSystem *sys = GetGlobalSystem();
  kiv::SubmodelStore *store = nullptr;
  for (auto &s : sys->model_stores)
    if (s.c.instance == instance && std::strcmp(s.c.name, submodel) == 0) store = &s;
  if (!store) {
    store = &sys->model_stores.emplace_back();
    std::strcpy(store->c.name, submodel);
    store->c.instance = instance;
  }
  store->real.assign(static_cast<size_t>(nreal), 0.0);
  store->integer.assign(static_cast<size_t>(ninteger), 0);
  store->pointer.assign(static_cast<size_t>(npointer), nullptr);
  bindView(*store);
  return &store->c;
}

void KivCleanModelStore(void) {
  for (auto &s : GetGlobalSystem()->model_stores) {
    std::fill(s.real.begin(), s.real.end(), 0.0);
    std::fill(s.integer.begin(), s.integer.end(), 0);
    std::fill(s.pointer.begin(), s.pointer.end(), nullptr);
  }
}

}  // extern "C"

KIVGlobalParams *kiv::globalParamStore(KIVSystem *sys, KIVGlobalParams *(*create)(void),
                                       void (*release)(KIVGlobalParams *)) {
  if (!sys) sys = GetGlobalSystem();
  if (!sys->global_params) {
    sys->global_params = create();
    sys->free_global_params = release;
  }
  return sys->global_params;
}
