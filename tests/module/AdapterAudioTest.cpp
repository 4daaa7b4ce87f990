// The adapter's piece loop behind an effect that only counts what it is asked
// to process, for block lengths no host buffer could hold.
#include "CheckerHost.h"
#include "HostPolicy.h"
#include "IEffectVST.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

const EffectIdentity kIdentity{0, "0-1", 1, "Counter", "", "Test Maker", 0x00010000,
                               FourCharCode("Cnt1"), FourCharCode("TstM"), 0, false, false};

class CountingEffect : public IEffectBase {
public:
    CountingEffect() : IEffectBase(kIdentity) {}
    void ProcessBlock(double**, double** outputs, int frames) override {
        ++blocks;
        largest = std::max(largest, frames);
        total += frames;
        lastOutput = outputs[0];
    }
    long long total = 0;
    int largest = 0;
    int blocks = 0;
    const double* lastOutput = nullptr;
};

TEST(AdapterAudio, TheLongestHostBlockIsCoveredExactlyInPieces) {
    CheckerHost host;
    IEffectVST plug(CheckerHost::Callback(), std::make_unique<CountingEffect>(), false);
    auto& effect = static_cast<CountingEffect&>(plug.Effect());
    AEffect* record = plug.Record();
    record->dispatcher(record, effSetBlockSize, 0, HostPolicy::kLargestBlockSize, nullptr, 0.0f);
    // Only pointers are bound on this path: the buffer is never touched.
    std::vector<double> buffer(1);
    double* outputs[1] = {buffer.data()};
    record->processDoubleReplacing(record, nullptr, outputs, INT32_MAX);
    EXPECT_EQ(effect.total, INT32_MAX);
    EXPECT_EQ(effect.largest, HostPolicy::kLargestBlockSize);
    EXPECT_EQ(effect.blocks, INT32_MAX / HostPolicy::kLargestBlockSize + 1);
    EXPECT_EQ(effect.lastOutput - buffer.data(),
              INT32_MAX - INT32_MAX % HostPolicy::kLargestBlockSize);
}

} // namespace
