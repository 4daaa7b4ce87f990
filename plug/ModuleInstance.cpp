#include "ModuleInstance.h"

namespace {
constinit const void* gInstance = nullptr;
} // namespace

const void* ModuleInstance() {
    return gInstance;
}

void RecordModuleInstance(const void* instance) {
    gInstance = instance;
}
