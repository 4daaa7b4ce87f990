// Quelor.clap through clap_entry, its parameters in real units.
#include "CLAPInstance.h"
#include "CLAPTestStreams.h"
#include "FormatDriver.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class CLAPDriverInstance final : public FormatInstance {
public:
    bool Route(const Routing& r) override {
        routing = r;
        return r.main > 0;
    }

    bool Prepare(double rate, int64_t maxBlock, bool) override {
        return q.Start(rate, Saturated<uint32_t>(maxBlock));
    }

    void Restart() override {
        q.plugin->stop_processing(q.plugin);
        EXPECT_TRUE(q.plugin->start_processing(q.plugin));
    }

    bool Process(const Block& b) override { return b.wide ? Run<double>(b) : Run<float>(b); }

    std::vector<uint8_t> State() override { return q.Save(); }
    bool SetState(const std::vector<uint8_t>& bytes) override {
        CLAPIStream stream(bytes);
        return q.state->load(q.plugin, stream.Stream());
    }

    std::optional<TextAnswer> TextRoundTrip(int index, const char* text) override {
        double value = 0.0;
        if (!q.params->text_to_value(q.plugin, static_cast<clap_id>(index), text, &value))
            return std::nullopt;
        return TextAnswer{value, q.Text(static_cast<clap_id>(index), value)};
    }

    SentValue Sent(int index, double normalized) const override {
        static const Quelor table;
        return {table.ParameterAt(index)->ValueFromNormalized(normalized), IValueUnit::kReal};
    }

private:
    template <class Sample> bool Run(const Block& b) {
        const auto n = static_cast<uint32_t>(std::max(b.frames, 0));
        std::vector<uint32_t> ports{static_cast<uint32_t>(routing.main)};
        if (routing.side > 0)
            ports.push_back(static_cast<uint32_t>(routing.side));
        CLAPAudioBuffers<Sample> inputs(ports, n);
        CLAPAudioBuffers<Sample> output({2}, n);
        for (uint32_t ch = 0; ch < 4; ++ch) {
            if (ch / 2 >= ports.size() || ch % 2 >= ports[ch / 2])
                continue;
            if (const double* from = b.in[ch])
                std::copy_n(from, n, inputs.Channel(ch / 2, ch % 2));
            else
                inputs.DropChannel(ch / 2, ch % 2);
        }
        for (uint32_t ch = 0; ch < 2; ++ch)
            if (b.out[ch])
                std::copy_n(b.out[ch], n, output.Channel(0, ch));
            else
                output.DropChannel(0, ch);
        std::vector<Change> changes = b.changes;
        std::stable_sort(changes.begin(), changes.end(),
                         [](const Change& x, const Change& y) { return x.frame < y.frame; });
        CLAPInputEvents events;
        for (const Change& c : changes)
            events.Add(CLAPParamValue(static_cast<uint32_t>(c.frame), static_cast<clap_id>(c.index),
                                      Sent(c.index, c.normalized).value));
        const clap_process_status status = q.Process(inputs, output, events);
        EXPECT_TRUE(inputs.GuardsIntact() && output.GuardsIntact());
        for (uint32_t ch = 0; ch < 2; ++ch)
            if (b.out[ch])
                std::copy_n(output.Channel(0, ch), n, b.out[ch]);
        return status == CLAP_PROCESS_CONTINUE;
    }

    CLAPInstance q;
    Routing routing;
};

[[maybe_unused]] const bool registered =
    RegisterFormat({"CLAP",
                    k64Bit | kTimedChanges | kState | kTexts | kMonoMain | kMonoSideChain |
                        kRefusesRates | kRefusesBlocks,
                    true, [] { return std::make_unique<CLAPDriverInstance>(); }});

} // namespace
