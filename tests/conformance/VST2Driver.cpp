// Quelor.so (Quelor.dll) through VSTPluginMain, driven through its record alone.
#include "FormatDriver.h"
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class VST2Instance final : public FormatInstance {
public:
    VST2Instance() { plug.Dispatch(effOpen); }

    bool Route(const Routing& r) override {
        // The record's inputs are main L/R then side-chain L/R: a side-chain follows only
        // a stereo programme.
        if (r.main == 0 || (r.main == 1 && r.side > 0))
            return false;
        inputs = r.main + r.side;
        VstSpeakerArrangement in{};
        VstSpeakerArrangement out{};
        in.numChannels = inputs;
        out.numChannels = 2;
        plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out);
        return true;
    }

    bool Prepare(double rate, int64_t maxBlock, bool) override {
        plug.Dispatch(effMainsChanged, 0, 0);
        plug.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        plug.Dispatch(effSetBlockSize, 0, static_cast<intptr_t>(maxBlock));
        plug.Dispatch(effMainsChanged, 0, 1);
        return true;
    }

    // Resume alone, as hosts that never suspend do: it must start afresh all the same.
    void Restart() override { plug.Dispatch(effMainsChanged, 0, 1); }

    bool Process(const Block& b) override {
        AEffect* e = plug.Record();
        for (const Change& c : b.changes) {
            EXPECT_EQ(c.frame, 0) << "VST 2 has no timed changes";
            e->setParameter(e, c.index, static_cast<float>(c.normalized));
        }
        const auto run = [&](auto sample, auto process) {
            Staged<decltype(sample)> s(b);
            // Exactly as many pointers as channels announced, so that a read past them shows.
            std::vector<decltype(sample)*> ins(s.in.begin(), s.in.begin() + inputs);
            process(e, ins.data(), s.out.data(), b.frames);
            s.CopyOut(b);
        };
        if (b.wide)
            run(0.0, e->processDoubleReplacing);
        else
            run(0.0f, e->processReplacing);
        return true;
    }

    std::vector<uint8_t> State() override {
        uint8_t* bytes = nullptr;
        const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &bytes);
        return size > 0 && bytes ? std::vector<uint8_t>(bytes, bytes + size)
                                 : std::vector<uint8_t>{};
    }
    bool SetState(const std::vector<uint8_t>& bytes) override {
        std::vector<uint8_t> copy = bytes;
        return plug.Dispatch(effSetChunk, 1, static_cast<intptr_t>(copy.size()), copy.data()) == 1;
    }

    // The value set is read from the state, which holds each in real units.
    std::optional<TextAnswer> TextRoundTrip(int index, const char* text) override {
        std::string entry = text;
        if (plug.Dispatch(effString2Parameter, index, 0, entry.data()) != 1)
            return std::nullopt;
        const std::vector<uint8_t> state = State();
        double value = 0.0;
        std::memcpy(&value, state.data() + 8 + 8 * index, sizeof value);
        return TextAnswer{value, plug.Text(effGetParamDisplay, index)};
    }

    SentValue Sent(int, double normalized) const override {
        return {static_cast<float>(normalized), IValueUnit::kNormalized};
    }

private:
    CheckerHost host;
    PluginInstance plug;
    int inputs = 4;
};

[[maybe_unused]] const bool registered = RegisterFormat({"VST2", k64Bit | kState | kTexts | kMonoMain | kMonoSideChain,
                                        false, [] { return std::make_unique<VST2Instance>(); }});

} // namespace
