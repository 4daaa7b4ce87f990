// The plug-in instantiated with one of its allocations failing, each in turn: the host,
// written in C, gets null or a working instance, never an exception. malloc is defined
// here, so that the module's calls bind to it; those after the failed one (the
// exception's, the runtime's thread-local storage) are served.
#include "LV2TestHost.h"

#include <gtest/gtest.h>

#include <cstddef>

extern "C" void* __libc_malloc(std::size_t size);

namespace {
thread_local long failAt = -1; // this thread's allocation, counted from 0, that fails
thread_local long allocations = 0;
} // namespace

extern "C" void* malloc(std::size_t size) noexcept {
    return failAt >= 0 && allocations++ == failAt ? nullptr : __libc_malloc(size);
}

TEST(LV2Instantiate, AnAllocationFailingAnywhereGivesTheHostNullOrAWorkingInstance) {
    lv2test::World world;
    lv2test::UridMap map;
    lv2test::Instance loaded(world, map, lv2test::kRate, 512);
    ASSERT_NE(loaded.instance, nullptr);
    const LV2_Descriptor* descriptor = lilv_instance_get_descriptor(loaded.instance);
    const LV2_Feature* const none[] = {nullptr};
    int refused = 0;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 100000) << "never instantiated";
        allocations = 0;
        failAt = n;
        LV2_Handle handle = nullptr;
        bool threw = false;
        try {
            handle = descriptor->instantiate(descriptor, lv2test::kRate, "", none);
        } catch (...) {
            threw = true;
        }
        failAt = -1;
        ASSERT_FALSE(threw) << "allocation " << n;
        refused += handle ? 0 : 1;
        if (handle)
            descriptor->cleanup(handle);
        if (allocations <= n) {
            EXPECT_NE(handle, nullptr) << "with no allocation failing";
            break;
        }
    }
    EXPECT_GT(refused, 0);
}
