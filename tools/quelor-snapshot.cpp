// Paints the Quelor panel through the editor's own paint pass and writes it as a PNG,
// optionally after running audio through the effect so that the meters move.
#include "AudioFile.h"
#include "DemoSignal.h"
#include "IGraphicsRaster.h"
#include "QuelorEditor.h"
#include "PanelPicture.h"
#include "ParameterSetting.h"
#include "PluginHost.h"
#include "QuelorEntry.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr double kDefaultRate = 48000.0;
constexpr double kDemoSeconds = 4.0;
constexpr int kBlock = 512;

struct Options {
    std::string out;
    std::string in;
    std::vector<std::string> params;
    bool demo = false;
    bool strip = false;
    double scale = 1.0;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "quelor-snapshot: error: %s\n", message.c_str());
    return 1;
}

AEffect* MakeQuelor(audioMasterCallback host) {
    return MakeQuelorVST(host)->Record();
}

// Runs every frame through the effect in host-sized blocks; the output is not kept.
void Run(const PluginHost& host, const std::vector<std::vector<double>>& channels) {
    AEffect* e = host.Effect();
    const std::size_t frames = channels.empty() ? 0 : channels[0].size();
    std::vector<std::vector<double>> in(4, std::vector<double>(kBlock)),
        out(2, std::vector<double>(kBlock));
    double* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    double* outputs[2] = {out[0].data(), out[1].data()};
    for (std::size_t at = 0; at < frames; at += kBlock) {
        const std::size_t n = std::min<std::size_t>(kBlock, frames - at);
        for (std::size_t ch = 0; ch < 2; ++ch) {
            const std::vector<double>& source = channels[std::min(ch, channels.size() - 1)];
            std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(at), n, in[ch].begin());
        }
        e->processDoubleReplacing(e, inputs, outputs, static_cast<int32_t>(n));
    }
}

int Snapshot(const Options& options) {
    std::string error;
    AudioData audio;
    if (!options.in.empty() && !ReadAudio(options.in, &audio, &error))
        return Fail(error);
    if (audio.channels.size() > 2)
        return Fail(options.in + " has " + std::to_string(audio.channels.size()) +
                    " channels; Quelor takes 2 at most");
    if (options.in.empty() && options.demo) {
        audio.sampleRate = kDefaultRate;
        StereoSignal demo = MakeDemoSignal(kDefaultRate, kDemoSeconds);
        audio.channels = {std::move(demo.left), std::move(demo.right)};
    }

    std::unique_ptr<PluginHost> host = PluginHost::Create(&MakeQuelor, "Quelor", &error);
    if (!host)
        return Fail(error);
    host->Open(audio.sampleRate > 0.0 ? audio.sampleRate : kDefaultRate, kBlock);
    host->AnnounceChannels(4, 2);
    host->Resume();
    for (const std::string& assignment : options.params) {
        const ParameterChoice choice = SetParameterByText(*host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
    }
    // Built before the audio runs, so that the meters it shows are those of that audio.
    IEffectBase& effect = IEffectVST::FromRecord(host->Effect())->Effect();
    effect.EnsureEditor();
    if (audio.Frames() > 0)
        Run(*host, audio.channels);

    auto* panel = dynamic_cast<IGraphicsRaster*>(effect.Editor());
    if (!panel || !panel->SurfacePixels())
        return Fail("the effect has no editor surface");
    panel->SetScale(options.scale);
    if (auto* editor = dynamic_cast<QuelorEditor*>(panel); editor && options.strip)
        editor->Strip().SetOpen(true);
    // The needles take the meters as a refresh would, with no window to refresh.
    panel->TakeReadings();
    panel->PaintRegion({0, 0, panel->Width(), panel->Height()});
    if (!WritePanelPicture(options.out, panel->SurfacePixels(), panel->DeviceWidth(),
                           panel->DeviceHeight()))
        return Fail("cannot write " + options.out);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Paints the Quelor editor panel into a PNG file."};
    Options options;
    app.add_option("out", options.out, "the PNG file to write")->required();
    app.add_option("--param", options.params,
                   "NAME=VALUE in the parameter's own units or value text, e.g. Threshold=-20")
        ->allow_extra_args(false);
    app.add_option("--input", options.in, "audio file to run through the effect first")
        ->check(CLI::ExistingFile);
    app.add_flag("--demo", options.demo, "run the built-in drum loop through the effect first");
    app.add_option("--scale", options.scale, "device pixels per panel unit, 1 to 3")
        ->check(CLI::Range(PanelScale::kMin, PanelScale::kMax));
    app.add_flag("--strip", options.strip, "show the history strip below the panel");
    app.set_version_flag("--version", std::string("quelor-snapshot ") + QUELOR_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(e.what());
    }
    return Snapshot(options);
}
