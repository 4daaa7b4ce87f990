#include "CLAPInterface.h"

// A module that exports a CLAP entry and nothing behind it: enough to show that the
// loader finds the data symbol, and how C++ exports one (the build makes it visible).
namespace {
bool QUELOR_CLAP_CALL Init(const char* path) {
    return path != nullptr;
}

void QUELOR_CLAP_CALL Deinit() {}

const void* QUELOR_CLAP_CALL GetFactory(const char*) {
    return nullptr;
}
} // namespace

extern "C" const clap_plugin_entry_t clap_entry = {CLAP_VERSION, Init, Deinit, GetFactory};
