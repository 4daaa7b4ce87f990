// A command-line VST 2 host: loads a plug-in module as a DAW does and renders
// audio files (or a built-in drum loop) through it.
#include "AudioFile.h"
#include "DemoSignal.h"
#include "FxpFile.h"
#include "ParameterSetting.h"
#include "PluginHost.h"
#include "RenderStats.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr double kDefaultRate = 48000.0;
constexpr double kDefaultSeconds = 4.0;
constexpr int kLargestBlock = 1 << 20;
constexpr double kProgressAfterSeconds = 5.0;
constexpr int kSideChainFirstInput = 2;

struct Options {
    std::string in;
    std::string out;
    std::string module = QUELOR_DEFAULT_MODULE;
    std::vector<std::string> params;
    std::vector<std::string> normalizedParams;
    std::string preset;
    std::string saveFxp;
    std::string sidechain;
    int block = 512;
    double rate = 0.0;
    bool useDouble = false;
    bool info = false;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "quelor-render: error: %s\n", message.c_str());
    return 1;
}

std::string FourChars(int32_t v) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(static_cast<uint32_t>(v) >> shift & 0xFF);
        text += c >= 32 && c < 127 ? c : '?';
    }
    return text;
}

void PrintInfo(const PluginHost& host, const std::string& path) {
    const AEffect* e = host.Effect();
    std::printf("module:      %s\n", path.c_str());
    std::printf("effect:      %s\n", host.EffectName().c_str());
    std::printf("vendor:      %s\n", host.VendorName().c_str());
    std::printf("product:     %s\n", host.ProductName().c_str());
    std::printf("unique id:   '%s' (0x%08X)\n", FourChars(e->uniqueID).c_str(),
                static_cast<unsigned>(e->uniqueID));
    std::printf("version:     %d\n", e->version);
    std::string flags;
    const std::pair<int32_t, const char*> names[] = {
        {effFlagsHasEditor, "editor"},         {effFlagsCanMono, "mono"},
        {effFlagsCanReplacing, "replacing"},   {effFlagsProgramChunks, "chunks"},
        {effFlagsIsSynth, "instrument"},       {effFlagsNoSoundInStop, "no sound in stop"},
        {effFlagsCanDoubleReplacing, "64-bit"}};
    for (const auto& [bit, name] : names)
        if (e->flags & bit)
            flags += (flags.empty() ? "" : ", ") + std::string(name);
    std::printf("flags:       0x%X (%s)\n", static_cast<unsigned>(e->flags), flags.c_str());
    std::printf("channels:    %d in, %d out\n", e->numInputs, e->numOutputs);
    std::printf("latency:     %d samples\n", e->initialDelay);
    std::printf("parameters:  %d\n", e->numParams);
    for (int i = 0; i < e->numParams; ++i) {
        const float now = host.GetParameter(i);
        const std::string current = host.ParameterDisplay(i);
        host.SetParameter(i, 0.0f);
        const std::string low = host.ParameterDisplay(i);
        host.SetParameter(i, 1.0f);
        const std::string high = host.ParameterDisplay(i);
        host.SetParameter(i, now);
        const std::string label = host.ParameterLabel(i);
        std::printf("  %3d %-20s %-12s (%s .. %s)%s%s  normalized %.6g\n", i,
                    host.ParameterName(i).c_str(), current.c_str(), low.c_str(), high.c_str(),
                    label.empty() ? "" : " ", label.c_str(), static_cast<double>(now));
    }
    std::printf("programs:    %d\n", e->numPrograms);
    for (int i = 0; i < e->numPrograms; ++i)
        std::printf("  %3d %s\n", i, host.ProgramNameAt(i).c_str());
}

class Progress {
public:
    explicit Progress(bool shown) : show(shown) {}
    void Update(std::size_t done, std::size_t total) {
        if (!show || total == 0)
            return;
        const auto percent = static_cast<int>(done * 100 / total);
        if (percent == last)
            return;
        last = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::printf("\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                    std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
        std::fflush(stdout);
    }
    void Finish() {
        if (show)
            std::printf("\r%60s\r", "");
    }

private:
    bool show;
    int last = -1;
};

// Runs the whole signal through the plug-in in blocks; every channel slot the
// plug-in announces gets a buffer, silent or discarded where no file feeds it.
template <class Sample>
void Render(PluginHost& host, const Channels& in, const Channels* sidechain, Channels& out,
            int block, Progress& progress) {
    AEffect* e = host.Effect();
    const std::size_t frames = in.empty() ? 0 : in[0].size();
    const auto slotsIn = static_cast<std::size_t>(std::max(e->numInputs, 0));
    const auto slotsOut = static_cast<std::size_t>(std::max(e->numOutputs, 0));
    const auto blockFrames = static_cast<std::size_t>(block);
    std::vector<std::vector<Sample>> inputs(slotsIn, std::vector<Sample>(blockFrames));
    std::vector<std::vector<Sample>> outputs(slotsOut, std::vector<Sample>(blockFrames));
    std::vector<Sample*> inPointers(slotsIn), outPointers(slotsOut);
    for (std::size_t ch = 0; ch < slotsIn; ++ch)
        inPointers[ch] = inputs[ch].data();
    for (std::size_t ch = 0; ch < slotsOut; ++ch)
        outPointers[ch] = outputs[ch].data();
    const bool replacing = (e->flags & effFlagsCanReplacing) != 0;
    for (std::size_t at = 0; at < frames; at += blockFrames) {
        const std::size_t n = std::min(blockFrames, frames - at);
        for (std::size_t ch = 0; ch < slotsIn; ++ch) {
            const std::vector<double>* source = nullptr;
            if (ch < in.size())
                source = &in[ch];
            else if (sidechain && ch >= kSideChainFirstInput &&
                     ch - kSideChainFirstInput < sidechain->size())
                source = &(*sidechain)[ch - kSideChainFirstInput];
            for (std::size_t i = 0; i < n; ++i)
                inputs[ch][i] = source ? static_cast<Sample>((*source)[at + i]) : Sample(0);
        }
        host.SetSamplePosition(static_cast<double>(at));
        const auto count = static_cast<int32_t>(n);
        if constexpr (sizeof(Sample) == sizeof(double)) {
            e->processDoubleReplacing(e, inPointers.data(), outPointers.data(), count);
        } else if (replacing) {
            e->processReplacing(e, inPointers.data(), outPointers.data(), count);
        } else {
            for (auto& channel : outputs)
                std::fill(channel.begin(), channel.end(), Sample(0));
            e->process(e, inPointers.data(), outPointers.data(), count);
        }
        for (std::size_t ch = 0; ch < out.size(); ++ch)
            for (std::size_t i = 0; i < n; ++i)
                out[ch][at + i] = static_cast<double>(outputs[ch][i]);
        progress.Update(at + n, frames);
    }
    progress.Finish();
}

int Run(const Options& options) {
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::Load(options.module, &error);
    if (!host)
        return Fail(error);
    const AEffect* e = host->Effect();
    const std::string name = host->EffectName().empty() ? options.module : host->EffectName();

    AudioData in;
    if (!options.in.empty()) {
        if (!ReadAudio(options.in, &in, &error))
            return Fail(error);
    } else {
        // The built-in programme: a deterministic drum loop over a sustained tone.
        in.sampleRate = options.rate > 0.0 ? options.rate : kDefaultRate;
        StereoSignal demo = MakeDemoSignal(in.sampleRate, kDefaultSeconds);
        in.channels = {std::move(demo.left), std::move(demo.right)};
    }
    const double rate = options.rate > 0.0 ? options.rate : in.sampleRate;
    const auto channels = static_cast<int>(in.channels.size());
    if (channels > e->numInputs || channels > e->numOutputs || channels > 2)
        return Fail((options.in.empty() ? std::string("the input") : options.in) + " has " +
                    std::to_string(channels) + " channels; " + name + " takes " +
                    std::to_string(std::min({e->numInputs, e->numOutputs, 2})) + " at most");

    AudioData side;
    if (!options.sidechain.empty()) {
        if (!ReadAudio(options.sidechain, &side, &error))
            return Fail(error);
        if (side.channels.size() > 2)
            return Fail("the side-chain " + options.sidechain + " has " +
                        std::to_string(side.channels.size()) + " channels; it takes 1 or 2");
        if (e->numInputs < kSideChainFirstInput + 2)
            return Fail(name + " has no side-chain inputs 3 and 4");
        if (!options.in.empty() && side.sampleRate != in.sampleRate)
            return Fail("the side-chain runs at " + std::to_string(side.sampleRate) +
                        " Hz, the input at " + std::to_string(in.sampleRate) + " Hz");
        // Padded with silence or cut to the programme's length; a mono side-chain feeds both.
        for (auto& channel : side.channels)
            channel.resize(in.Frames());
        if (side.channels.size() == 1)
            side.channels.push_back(side.channels[0]);
    }
    if (options.useDouble && !(e->flags & effFlagsCanDoubleReplacing))
        return Fail(name + " cannot process 64-bit audio");

    host->Open(rate, options.block);
    host->AnnounceChannels(options.sidechain.empty() ? channels : kSideChainFirstInput + 2,
                           channels);
    if (!options.preset.empty()) {
        std::vector<uint8_t> bytes;
        if (!ReadFileBytes(options.preset, &bytes, &error) || !ApplyFxp(*host, bytes, &error))
            return Fail(options.preset + ": " + error);
    }
    for (const std::string& assignment : options.params) {
        const ParameterChoice choice = SetParameterByText(*host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
    }
    for (const std::string& assignment : options.normalizedParams) {
        const ParameterChoice choice = SetParameterNormalized(*host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
    }
    if (!options.saveFxp.empty() && !WriteFileBytes(options.saveFxp, MakeFxp(*host), &error))
        return Fail(error);
    if (options.info)
        PrintInfo(*host, options.module);
    if (options.out.empty())
        return 0;

    AudioData out;
    out.sampleRate = rate;
    out.channels.assign(in.channels.size(), std::vector<double>(in.Frames()));
    const double seconds = static_cast<double>(in.Frames()) / rate;
    Progress progress(isatty(STDOUT_FILENO) && seconds > kProgressAfterSeconds);
    const Channels* sidechain = options.sidechain.empty() ? nullptr : &side.channels;
    host->Resume();
    const auto start = std::chrono::steady_clock::now();
    if (options.useDouble)
        Render<double>(*host, in.channels, sidechain, out.channels, options.block, progress);
    else
        Render<float>(*host, in.channels, sidechain, out.channels, options.block, progress);
    const double taken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    host->Suspend();
    if (!WriteAudio(options.out, out, in.format, &error))
        return Fail(error);

    const Levels before = MeasureLevels(in.channels);
    const Levels after = MeasureLevels(out.channels);
    const GainChange gain = MeasureGainChange(in.channels, out.channels, rate);
    std::printf("%s: %.2f s, %d channel%s at %.0f Hz, %s, blocks of %d -> %s\n", name.c_str(),
                seconds, channels, channels == 1 ? "" : "s", rate,
                options.useDouble ? "64-bit" : "32-bit", options.block, options.out.c_str());
    std::printf("input:   peak %7.2f dBFS   RMS %7.2f dBFS\n", before.peakDb, before.rmsDb);
    std::printf("output:  peak %7.2f dBFS   RMS %7.2f dBFS\n", after.peakDb, after.rmsDb);
    if (gain.windows)
        std::printf("gain change: largest %+.2f dB, average %+.2f dB\n", gain.largestDb,
                    gain.averageDb);
    else
        std::printf("gain change: none measured (input too quiet)\n");
    std::printf("time:    %.3f s, %.1fx real time\n", taken, taken > 0.0 ? seconds / taken : 0.0);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Renders audio through a VST 2 plug-in module, as a host does.\n"
                 "Without IN, a built-in drum loop is rendered."};
    Options options;
    std::vector<std::string> files;
    app.add_option("files", files, "[IN] OUT: audio files (WAV, FLAC, AIFF, ...)")->expected(0, 2);
    app.add_option("--module", options.module, "the plug-in module to load")->capture_default_str();
    app.add_option("--param", options.params,
                   "NAME=VALUE in the parameter's own units or value text, e.g. Threshold=-20");
    app.add_option("--param-normalized", options.normalizedParams,
                   "INDEX=X: a raw normalized value from 0 to 1");
    app.add_option("--preset", options.preset, "load a program file (.fxp) first");
    app.add_option("--save-fxp", options.saveFxp, "write the parameters as a program file");
    app.add_option("--block", options.block, "block size in frames")
        ->check(CLI::Range(1, kLargestBlock))
        ->capture_default_str();
    app.add_option("--rate", options.rate,
                   "sample rate for the plug-in and OUT (samples are not resampled)")
        ->check(CLI::Range(1.0, 1.0e7));
    app.add_flag("--double", options.useDouble, "process 64-bit audio");
    app.add_option("--sidechain", options.sidechain, "audio file that feeds inputs 3 and 4");
    app.add_flag("--info", options.info, "print what the host sees of the plug-in");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(e.what());
    }
    if (files.size() == 2) {
        options.in = files[0];
        options.out = files[1];
    } else if (files.size() == 1) {
        options.out = files[0];
    } else if (!options.info && options.saveFxp.empty()) {
        return Fail("no output file given (quelor-render [IN] OUT, or --info)");
    }
    return Run(options);
}
