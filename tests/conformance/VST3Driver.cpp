// The Quelor.vst3 bundle through GetPluginFactory, one object as component and controller.
#include "FormatDriver.h"
#include "VST3PluginHost.h"

#include <gtest/gtest.h>

using namespace vst3;

namespace {

class VST3Instance final : public FormatInstance {
public:
    bool Route(const Routing& r) override {
        routing = r;
        if (r.main == 0)
            return false;
        // Buses are arranged while processing is off, as hosts do.
        const bool wasStarted = plug.Started();
        plug.Stop();
        const auto arrangement = [](int channels) {
            return channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
        };
        SpeakerArrangement ins[2] = {arrangement(r.main), arrangement(r.side)};
        SpeakerArrangement outs[1] = {SpeakerArr::kStereo};
        const bool taken =
            plug.Processor()->setBusArrangements(ins, 2, outs, 1) == kResultOk &&
            plug.Component()->activateBus(kAudio, kInput, 1, r.side > 0) == kResultOk;
        if (wasStarted) {
            EXPECT_TRUE(plug.Start(setup));
        }
        return taken;
    }

    bool Prepare(double rate, int64_t maxBlock, bool wide) override {
        setup = {kRealtime, wide ? kSample64 : kSample32, Saturated<int32_t>(maxBlock), rate};
        return plug.Start(setup);
    }

    void Restart() override {
        plug.Processor()->setProcessing(0);
        plug.Component()->setActive(0);
        plug.Component()->setActive(1);
        plug.Processor()->setProcessing(1);
    }

    bool Process(const Block& b) override {
        HostParameterChanges queues;
        for (const Change& c : b.changes)
            queues.Queue(static_cast<ParamID>(c.index)).Add(c.frame, c.normalized);
        const auto run = [&](auto sample) {
            using Sample = decltype(sample);
            Staged<Sample> s(b);
            std::vector<std::vector<Sample*>> buses(1, {s.in.begin(), s.in.begin() + routing.main});
            if (routing.side > 0)
                buses.emplace_back(s.in.begin() + 2, s.in.begin() + 2 + routing.side);
            const tresult answer =
                plug.Process<Sample>(buses, {s.out.begin(), s.out.end()}, b.frames, &queues);
            s.CopyOut(b);
            return answer;
        };
        return (b.wide ? run(0.0) : run(0.0f)) == kResultOk;
    }

    std::vector<uint8_t> State() override {
        const std::vector<char> bytes = plug.State();
        return {bytes.begin(), bytes.end()};
    }
    bool SetState(const std::vector<uint8_t>& bytes) override {
        const tresult answer = plug.SetState({bytes.begin(), bytes.end()});
        EXPECT_TRUE(answer == kResultOk || answer == kResultFalse) << answer;
        return answer == kResultOk;
    }

    std::optional<TextAnswer> TextRoundTrip(int index, const char* text) override {
        std::vector<TChar> entry(text, text + std::char_traits<char>::length(text));
        entry.push_back(0);
        ParamValue normalized = 0.0;
        const auto id = static_cast<ParamID>(index);
        if (plug.Controller()->getParamValueByString(id, entry.data(), &normalized) != kResultOk)
            return std::nullopt;
        String128 shown{};
        EXPECT_EQ(plug.Controller()->getParamStringByValue(id, normalized, shown), kResultOk);
        return TextAnswer{plug.Controller()->normalizedParamToPlain(id, normalized), Narrow(shown)};
    }

private:
    VST3PluginHost plug{ModuleUnderTest()};
    Routing routing;
    ProcessSetup setup{};
};

[[maybe_unused]] const bool registered =
    RegisterFormat({"VST3",
                    k64Bit | kTimedChanges | kState | kTexts | kMonoMain | kMonoSideChain |
                        kRefusesRates | kRefusesBlocks,
                    false, [] { return std::make_unique<VST3Instance>(); }});

} // namespace
