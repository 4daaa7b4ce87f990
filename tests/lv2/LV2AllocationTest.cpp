// The bundle's plug-in instantiated with memory failing at each of its allocations in
// turn: the host, written in C, gets a null answer or a working instance, never an
// exception. The C library's malloc is defined here, so that the module's calls bind to
// it, and fails on demand. One allocation fails at a time: the ones that follow, such as
// the exception's own and the thread-local storage the module's runtime then takes, are
// served.
#include "LV2TestHost.h"

#include <gtest/gtest.h>

#include <cstddef>

extern "C" void* __libc_malloc(std::size_t size);

namespace {
// The allocation of this thread, counted from 0, that fails; -1: none does.
thread_local long failAt = -1;
thread_local long allocations = 0;
} // namespace

extern "C" void* malloc(std::size_t size) noexcept {
    if (failAt >= 0 && allocations++ == failAt)
        return nullptr;
    return __libc_malloc(size);
}

namespace {
using namespace lv2test;

TEST(LV2Instantiate, MemoryFailingAnywhereGivesTheHostNullOrAWorkingInstance) {
    World world;
    UridMap map;
    Instance loaded(world, map, kRate, 512);
    ASSERT_NE(loaded.instance, nullptr);
    const LV2_Descriptor* descriptor = lilv_instance_get_descriptor(loaded.instance);
    const std::string bundle = LV2TestBundle() + "/";
    const LV2_Feature* const none[] = {nullptr};
    int refused = 0;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 100000) << "instantiate never got through";
        allocations = 0;
        failAt = n;
        LV2_Handle handle = nullptr;
        bool threw = false;
        try {
            handle = descriptor->instantiate(descriptor, kRate, bundle.c_str(), none);
        } catch (...) {
            threw = true;
        }
        const bool ranOut = allocations > n;
        failAt = -1;
        ASSERT_FALSE(threw) << "allocation " << n << " failed";
        if (handle) {
            descriptor->activate(handle);
            descriptor->deactivate(handle);
            descriptor->cleanup(handle);
        }
        if (!ranOut) {
            EXPECT_NE(handle, nullptr);
            break;
        }
        refused += handle == nullptr;
    }
    EXPECT_GT(refused, 0);
}
} // namespace
