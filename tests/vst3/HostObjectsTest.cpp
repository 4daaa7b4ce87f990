// The test host's own fault finders, whose going blind no plug-in test would notice:
// a state stream that fails where the test says, and the reference checks.
#include "MemoryStream.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <optional>

using namespace vst3;

namespace {

std::vector<char> Digits() {
    return {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
}

TEST(MemoryStream, ReadsEndShortOrFailWhereTheTestSays) {
    struct Case {
        const char* what;
        std::optional<int64_t> end, failure;
        int32_t asked;
        tresult result;
        int32_t read;
        int64_t position;
    };
    // Each from position 2 of ten bytes.
    const Case cases[] = {
        {"inside", {}, {}, 4, kResultOk, 4, 6},
        {"past the end", {}, {}, 20, kResultOk, 8, 10},
        {"across the end the test set", 5, {}, 4, kResultOk, 3, 5},
        {"up to a failure", {}, 5, 3, kResultOk, 3, 5},
        {"across a failure", {}, 5, 4, kResultFalse, 0, 2},
        {"a negative count", {}, {}, -1, kInvalidArgument, 0, 2},
    };
    for (const Case& c : cases) {
        MemoryStream stream(Digits(), 2);
        if (c.end)
            stream.EndReadsAt(*c.end);
        if (c.failure)
            stream.FailReadsFrom(*c.failure);
        char buffer[32] = {};
        int32_t read = -1;
        EXPECT_EQ(stream.read(buffer, c.asked, &read), c.result) << c.what;
        EXPECT_EQ(read, c.read) << c.what;
        EXPECT_EQ(stream.Position(), c.position) << c.what;
        EXPECT_EQ(std::string(buffer),
                  std::string("23456789").substr(0, static_cast<size_t>(c.read)))
            << c.what;
    }
}

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
    EXPECT_EQ(balanced.PluginReferences(), 1u);
    static_cast<FUnknown*>(unknown)->release();
}

} // namespace
