#include "ModuleEntryVST3.h"

#include <atomic>

namespace {
std::atomic<int> gEntries{0};
} // namespace

bool EnterModuleVST3() {
    ++gEntries;
    return true;
}

bool ExitModuleVST3() {
    int entries = gEntries.load();
    do {
        if (entries <= 0)
            return false;
    } while (!gEntries.compare_exchange_weak(entries, entries - 1));
    return true;
}
