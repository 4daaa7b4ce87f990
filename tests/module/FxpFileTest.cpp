// The render tool's program-file reader on the real module: a file it refuses, or whose
// chunk the plug-in refuses, leaves every value as it was.
#include "FxpFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace {

void PutBig(std::vector<uint8_t>& file, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        file[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

class FxpFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        host = PluginHost::Load(QUELOR_MODULE_PATH, &error);
        ASSERT_NE(host, nullptr) << error;
        host->Open(48000.0, 512);
        for (int i = 0; i < host->ParameterCount(); ++i)
            host->SetParameter(i, 0.25f);
        before = MakeFxp(*host);
    }
    void ExpectRefusedUnchanged(const std::vector<uint8_t>& file, const std::string& reason) {
        std::string error;
        EXPECT_FALSE(ApplyFxp(*host, file, &error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_EQ(MakeFxp(*host), before);
    }

    std::unique_ptr<PluginHost> host;
    std::vector<uint8_t> before;
};

TEST_F(FxpFile, AValueOutsideTheRangeRefusesTheWholeFile) {
    std::vector<uint8_t> file = before;
    for (std::size_t i = 0; i < 4; ++i)
        PutBig(file, 56 + 4 * i, std::bit_cast<uint32_t>(0.75f));
    PutBig(file, 56 + 4 * 4, std::bit_cast<uint32_t>(1.5f));
    ExpectRefusedUnchanged(file, "parameter 4");
    PutBig(file, 56 + 4 * 4, std::bit_cast<uint32_t>(0.75f));
    std::string error;
    ASSERT_TRUE(ApplyFxp(*host, file, &error)) << error;
    EXPECT_EQ(host->GetParameter(0), 0.75f);
}

TEST_F(FxpFile, AChunkThePlugInRefusesLeavesItsEarlierState) {
    // 'FPCh' with the header and only five of the twelve values: the plug-in applies those
    // and refuses the rest.
    std::vector<uint8_t> file(before.begin(), before.begin() + 56);
    std::memcpy(file.data() + 8, "FPCh", 4);
    const uint8_t header[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    std::vector<uint8_t> chunk(header, header + 8);
    for (int i = 0; i < 5; ++i) {
        const auto bits = std::bit_cast<uint64_t>(1.0);
        for (int b = 0; b < 8; ++b)
            chunk.push_back(static_cast<uint8_t>(bits >> (8 * b)));
    }
    file.resize(file.size() + 4);
    PutBig(file, 56, static_cast<uint32_t>(chunk.size()));
    file.insert(file.end(), chunk.begin(), chunk.end());
    PutBig(file, 4, static_cast<uint32_t>(file.size() - 8));
    ExpectRefusedUnchanged(file, "refused the program's chunk");
}

} // namespace
