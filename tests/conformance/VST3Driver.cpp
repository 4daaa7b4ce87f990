// The Quelor.vst3 bundle through GetPluginFactory, one object as component and controller.
#include "FormatDriver.h"
#include "VST3PluginHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace vst3;

namespace {

const VST3Module& Module() {
    static const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    return module;
}

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
        setup = {
            kRealtime, wide ? kSample64 : kSample32,
            static_cast<int32_t>(std::clamp<int64_t>(maxBlock, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max())),
            rate};
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
        return (b.wide ? Run<double>(b, queues) : Run<float>(b, queues)) == kResultOk;
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

    SentValue Sent(int, double normalized) const override {
        return {normalized, IValueUnit::kNormalized};
    }

private:
    template <class Sample> tresult Run(const Block& b, HostParameterChanges& queues) {
        const auto n = static_cast<std::size_t>(std::max(b.frames, 0));
        std::vector<std::vector<Sample>> in(4, std::vector<Sample>(n)),
            out(2, std::vector<Sample>(n));
        std::vector<std::vector<Sample*>> buses(routing.side > 0 ? 2 : 1);
        for (std::size_t ch = 0; ch < 4; ++ch) {
            const std::size_t bus = ch / 2;
            if (static_cast<int>(ch % 2) >= (bus == 0 ? routing.main : routing.side))
                continue;
            if (b.in[ch])
                std::copy_n(b.in[ch], n, in[ch].begin());
            buses[bus].push_back(b.in[ch] ? in[ch].data() : nullptr);
        }
        std::vector<Sample*> outs;
        for (std::size_t ch = 0; ch < 2; ++ch)
            outs.push_back(b.out[ch] ? out[ch].data() : nullptr);
        const tresult answer = plug.Process<Sample>(buses, outs, b.frames, &queues);
        for (std::size_t ch = 0; ch < 2; ++ch)
            if (b.out[ch])
                std::copy(out[ch].begin(), out[ch].end(), b.out[ch]);
        return answer;
    }

    HostApplication application;
    VST3PluginHost plug{Module(), application};
    Routing routing;
    ProcessSetup setup{};
};

[[maybe_unused]] const bool registered = RegisterFormat(
    {"VST3", k64Bit | kTimedChanges | kState | kTexts | kMonoMain | kMonoSideChain | kRefusesRates,
     false, [] { return std::make_unique<VST3Instance>(); }});

} // namespace
