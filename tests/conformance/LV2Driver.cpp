// The Quelor.lv2 bundle through lilv, as LV2 hosts instantiate it: every control a port
// in real units, set between runs; the rate and largest block given at instantiation.
#include "FormatDriver.h"
#include "LV2TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using namespace lv2test;

constexpr int kLongestBlock = 16384;

class LV2Instance final : public FormatInstance {
public:
    bool Route(const Routing& r) override {
        routing = r;
        return r.main == 2 && r.side != 1;
    }

    bool Prepare(double rate, int64_t maxBlock, bool) override {
        static World world;
        // A new instance, as hosts make one for a new rate; the controls are the host's.
        std::array<float, kParameters> controls{};
        const bool keep = instance && instance->instance;
        if (keep)
            controls = instance->controls;
        instance.reset();
        instance = std::make_unique<Instance>(world, map, rate, Saturated<int32_t>(maxBlock),
                                              kLongestBlock);
        if (!instance->instance)
            return false;
        if (keep)
            instance->controls = controls;
        return true;
    }

    void Restart() override {
        lilv_instance_deactivate(instance->instance);
        lilv_instance_activate(instance->instance);
    }

    bool Process(const Block& b) override {
        EXPECT_FALSE(b.wide) << "LV2 has no 64-bit ports";
        if (b.frames > kLongestBlock) {
            ADD_FAILURE() << "runs are at most " << kLongestBlock;
            return false;
        }
        for (const Change& c : b.changes) {
            EXPECT_EQ(c.frame, 0) << "LV2 has no timed changes";
            instance->controls[static_cast<std::size_t>(c.index)] =
                static_cast<float>(Sent(c.index, c.normalized).value);
        }
        const auto n = static_cast<std::size_t>(std::max(b.frames, 0));
        std::vector<int> left;
        for (std::size_t ch = 0; ch < 4; ++ch) {
            if ((ch >= 2 && routing.side == 0) || !b.in[ch])
                left.push_back(kInL + static_cast<int>(ch));
            else
                std::copy_n(b.in[ch], n, instance->audio[ch].begin());
        }
        for (std::size_t ch = 0; ch < 2; ++ch)
            if (!b.out[ch])
                left.push_back(kOutL + static_cast<int>(ch));
        for (int port : left)
            instance->Disconnect(port);
        lilv_instance_run(instance->instance, static_cast<uint32_t>(n));
        for (int port : left)
            instance->Reconnect(port);
        for (std::size_t ch = 0; ch < 2; ++ch)
            if (b.out[ch])
                std::copy_n(instance->audio[4 + ch].begin(), n, b.out[ch]);
        return true;
    }

    SentValue Sent(int index, double normalized) const override {
        static const Quelor table;
        return {static_cast<float>(table.ParameterAt(index)->ValueFromNormalized(normalized)),
                IValueUnit::kReal};
    }

private:
    UridMap map;
    std::unique_ptr<Instance> instance;
    Routing routing;
};

[[maybe_unused]] const bool registered =
    RegisterFormat({"LV2", kRefusesRates, false, [] { return std::make_unique<LV2Instance>(); }});

} // namespace
