// The system's keyed data store as the library's other folders use it: typed
// calls by name view, without the system's own record.
#pragma once

#include <string_view>

#include "runtime/kiv_runtime.h"

// A data-store entry; its name and index are its key in the system's store.
struct KivDataStore {
  void *pointer = nullptr;
};

namespace kiv {

// The data store of sys (the current system for NULL): the entry of (name,
// index), nullptr when there is none; create or replace its pointer; erase
// it (false when there was none).  The typed core of Kiv*DataStore.  An
// entry stays at its address until it is erased or its system released.
KivDataStore *findData(KIVSystem *sys, std::string_view name, int index);
KivDataStore *storeData(KIVSystem *sys, std::string_view name, int index, void *ptr);
bool eraseData(KIVSystem *sys, std::string_view name, int index);

}  // namespace kiv
