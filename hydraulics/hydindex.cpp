// The fluid registry by index: one block per system under the property
// "HYD_Index", records of the three families, selection of the current
// fluid, the volume and mass totals and the end-of-run release.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "hydraulics/hydindex.hpp"

namespace {

kiv::PropertySlot<HydIndexList> registrySlot("HYD_Index");

const char *const kNotInitialised =
    "\nFluid index system not initialized, have you put a fluid on the sketch?\n";

// The block of the current system, nullptr when there is none or the slot
// was never asked for (no registry was ever made).
HydIndexList *knownBlock() { return registrySlot.known() ? registrySlot.get() : nullptr; }

[[noreturn]] void fatal(const char *message) {
  kivfprintf(stderr, "%s", message);
  KivExit(1);
}

HydIndexList &requireBlock() {
  HydIndexList *b = kiv::hyd::currentBlock();
  if (!b) fatal(kNotInitialised);
  return *b;
}

template <class Record>
Record &add(const Record &record, std::deque<Record> HydIndexList::*records,
            std::array<int, kHydIndexCount> HydIndexList::*map, const char *label) {
  HydIndexList &b = *GetOrCreateHydIndexList();
  if (!b.initialised) inifprop_();
  CheckIndex(record.index, 1);
  auto &list = b.*records;
  kiv::guardAllocation(label, [&] { list.push_back(record); });
  (b.*map)[static_cast<size_t>(record.index)] = static_cast<int>(list.size()) - 1;
  return list.back();
}

void installRelease(HydIndexList &b) {
  if (b.release_installed) return;
  KivInstallAtEnd(&ReInitHydProps, 0);
  b.release_installed = 1;
}

int position(const std::array<int, kHydIndexCount> &map, int index) {
  return kiv::hyd::validIndex(index) ? map[static_cast<size_t>(index)] : -1;
}

// The record of a family under the index; ends the run when there is none.
template <class Record>
Record &lookup(int index, std::deque<Record> HydIndexList::*records,
               std::array<int, kHydIndexCount> HydIndexList::*map) {
  CheckIndex(index, 0);
  HydIndexList &b = requireBlock();
  const int pos = position(b.*map, index);
  if (pos < 0) IndexNotDefined(index);
  return (b.*records)[static_cast<size_t>(pos)];
}

}  // namespace

HydIndexList::HydIndexList() {
  general_map.fill(-1);
  fuel_map.fill(-1);
  simple_map.fill(-1);
}

namespace kiv::hyd {

LibraryConstants libraryConstants;

HydIndexList *currentBlock() { return registrySlot.get(); }

HydIndexList &selectableBlock() {
  if (!registrySlot.known()) fatal(kNotInitialised);
  HydIndexList *b = registrySlot.get();
  if (!b) fatal("\nFluid index system not initialized, \nis there a fluid on the sketch?\n");
  return *b;
}

unsigned registryGeneration = 0;

HydFluidRecord &addGeneral(const HydFluidRecord &record, const char *label) {
  return add(record, &HydIndexList::general, &HydIndexList::general_map, label);
}
HydFuelRecord &addFuel(const HydFuelRecord &record, const char *label) {
  return add(record, &HydIndexList::fuel, &HydIndexList::fuel_map, label);
}
HydSimpleRecord &addSimple(const HydSimpleRecord &record, const char *label) {
  return add(record, &HydIndexList::simple, &HydIndexList::simple_map, label);
}

}  // namespace kiv::hyd

bool kiv::hyd::possibleTemperature(int index, double t_celsius) {
  if (std::isfinite(t_celsius) && t_celsius >= -libraryConstants.gtref) return true;
  kivfprintf(stderr, "\nError in Hydraulic fluid index %d: the temperature (%g degC) is below absolute zero or not a number.\n",
             index, t_celsius);
  return false;
}

void CheckIndex(int index, int must_be_free) {
  const HydIndexList &b = requireBlock();
  if (!kiv::hyd::validIndex(index)) {
    kivfprintf(stderr, "Invalid fluid index: maximum is %d and minimum is 0.\n", KIV_HYD_MAX_INDEX);
    KivExit(1);
  }
  if (must_be_free && (position(b.general_map, index) >= 0 || position(b.fuel_map, index) >= 0 ||
                       position(b.simple_map, index) >= 0)) {
    kivfprintf(stderr, "Hydraulic property index %d\nis already defined.\n", index);
    KivExit(1);
  }
}

void IndexNotDefined(int index) {
  kivfprintf(stderr, "\nA hydraulic fluid having the index %d\nhas not been defined.\n", index);
  KivExit(1);
}

extern "C" {

HydIndexList *GetOrCreateHydIndexList(void) {
  if (HydIndexList *b = registrySlot.get()) return b;
  std::unique_ptr<HydIndexList> b(new (std::nothrow) HydIndexList());
  if (!b) MemoryError("InitGlobalHydSystem");
  // A block never outlives its run, initialised or not: its release is
  // installed before the slot holds it.
  installRelease(*b);
  registrySlot.set(b.get());
  return b.release();
}

void inifprop_(void) {
  HydIndexList &b = *GetOrCreateHydIndexList();
  b.general_map.fill(-1);
  b.fuel_map.fill(-1);
  b.simple_map.fill(-1);
  installRelease(b);
  b.initialised = 1;
  b.exported = 0;
}

HydFluidRecord *retfprop_(int *index) {
  return &lookup(*index, &HydIndexList::general, &HydIndexList::general_map);
}

HydFuelRecord *retrprop_(int *index) {
  return &lookup(*index, &HydIndexList::fuel, &HydIndexList::fuel_map);
}

HydSimpleRecord *getspind_(int *index) {
  return &lookup(*index, &HydIndexList::simple, &HydIndexList::simple_map);
}

int getftype_(int *index) {
  const int i = *index;
  CheckIndex(i, 0);
  HydIndexList &b = requireBlock();
  if (!b.initialised) inifprop_();
  if (int pos = position(b.general_map, i); pos >= 0) {
    const HydFluidRecord &r = b.general[static_cast<size_t>(pos)];
    const bool equal = !std::isnan(r.p_sat_high) && !std::isnan(r.p_sat_low) &&
                       r.p_sat_high == r.p_sat_low;
    return equal ? 4 : 1;
  }
  if (position(b.fuel_map, i) >= 0) return 2;
  if (position(b.simple_map, i) >= 0) return 3;
  IndexNotDefined(i);
}

int gethdind_(void) {
  const HydIndexList *b = kiv::hyd::currentBlock();
  return b ? b->current : -1;
}

int checkhdind_(int *index) {
  // Without a registry every index is still free.
  const HydIndexList *b = knownBlock();
  if (!b) return 0;
  const int i = *index;
  if (!kiv::hyd::validIndex(i)) {
    kivfprintf(stderr, "\nInvalid fluid index: maximum is %d and minimum is 0.\n",
               KIV_HYD_MAX_INDEX);
    return -1;
  }
  if (position(b->general_map, i) >= 0 || position(b->fuel_map, i) >= 0 ||
      position(b->simple_map, i) >= 0) {
    kivfprintf(stderr, "\nHydraulic property index %d\nis already defined.\n", i);
    return -1;
  }
  return 0;
}

int checkhdind2_(int *index) {
  const HydIndexList *b = knownBlock();
  if (!b) return 0;
  const int i = *index;
  return (position(b->general_map, i) >= 0 || position(b->fuel_map, i) >= 0 ||
          position(b->simple_map, i) >= 0)
             ? 1
             : 0;
}

int hyd_valid_liquid_(int *index, int *error) {
  const int ok = checkhdind2_(index);
  if (!ok) {
    kivfprintf(stderr, "\nHydraulic fluid with index %d is not set.", *index);
    kivfprintf(stderr,
               "\nA Hydraulic fluid definition submodel with index %d should be available in "
               "your circuit.\n",
               *index);
    *error = 2;
  }
  return ok;
}

void hydrinit_volmass_(double *volume, double *mass, int *index) {
  *volume = 0.0;
  *mass = 0.0;
  if (!firstc_()) return;
  HydIndexList *b = kiv::hyd::currentBlock();
  if (!b || !kiv::hyd::validIndex(*index)) return;
  b->volume_total[static_cast<size_t>(*index)] = volume;
  b->mass_total[static_cast<size_t>(*index)] = mass;
}

void hydradd_volmass_(double *volume, double *mass) {
  HydIndexList *b = kiv::hyd::currentBlock();
  if (!b || !kiv::hyd::validIndex(b->current)) return;
  const auto i = static_cast<size_t>(b->current);
  if (double *v = b->volume_total[i]) *v += 1000.0 * *volume;
  if (double *m = b->mass_total[i]) *m += *mass;
}

void SetHydAtFuncEval(void) {
  if (HydIndexList *b = kiv::hyd::currentBlock()) b->current = -1;
}

void ReInitHydProps(int /*code*/, int /*argument*/) {
  HydIndexList *b = registrySlot.get();
  kiv::hyd::constants() = kiv::hyd::LibraryConstants{};
  // Whatever was loaded from any block must be loaded again: a block of
  // another system may reuse this one's address.
  ++kiv::hyd::registryGeneration;
  if (!b) return;
  for (HydFluidRecord &r : b->general) {
    std::free(r.file_name);
    r.file_name = nullptr;
  }
  delete b;  // also the table storage of every index
  registrySlot.set(nullptr);
}

}  // extern "C"
