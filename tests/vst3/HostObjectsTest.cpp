// The test host's reference checks, whose going blind no plug-in test would notice.
#include "MemoryStream.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace vst3;

namespace {

TEST(HostObject, ReferencesThePluginKeepsOrReturnsTooOftenFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            void* kept = nullptr;
            stream.queryInterface(IBStream::kIid.data(), &kept);
        },
        "still holds 1 references to the memory stream");
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            stream.release();
        },
        "released the memory stream more often");
    MemoryStream balanced;
    void* unknown = nullptr;
    EXPECT_EQ(balanced.queryInterface(FUnknown::kIid.data(), &unknown), kResultOk);
    EXPECT_EQ(unknown, static_cast<FUnknown*>(&balanced));
    static_cast<FUnknown*>(unknown)->release();
}

} // namespace
