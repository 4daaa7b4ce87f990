// A command-line VST 2 host: loads a plug-in module as a DAW does and renders
// audio files (or a built-in drum loop) through it, one file or a batch on
// every core, with levels, loudness, gain change, a JSON summary and a picture.
#include "AudioFile.h"
#include "FxpFile.h"
#include "ModuleSearch.h"
#include "ParameterSetting.h"
#include "PluginHost.h"
#include "RenderJob.h"
#include "RenderPlot.h"
#include "RenderReport.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr double kDefaultRate = 48000.0;
constexpr double kDemoSeconds = 4.0;
constexpr int kLargestBlock = 1 << 20;
constexpr double kProgressAfterSeconds = 5.0;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr char kSideChainSwitch[] = "Sidechain Input";
constexpr char kSideChainOn[] = "Chn. 3/4";
constexpr char kSideChainOff[] = "Chn. 1/2";
constexpr char kModuleName[] = "Quelor.so";

struct Options {
    std::vector<std::string> files;
    std::string in;
    std::string out;
    std::string outDir;
    std::string module; // found by FindModule when not given
    std::vector<std::string> params;
    std::vector<std::string> normalizedParams;
    std::string preset;
    std::string saveFxp;
    std::string sidechain;
    std::string format;
    std::string subtype;
    std::string json;
    std::string plot;
    int block = 512;
    int jobs = 0;
    double rate = 0.0;
    bool useDouble = false;
    bool info = false;
    bool noLoudness = false;
    bool dualMono = false;
    bool demo = false;
    bool noDither = false;
    double quality = -1.0; // each lossy encoder's default
};

bool WriteText(const std::string& path, const std::string& text, std::string* error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        *error = "cannot write " + path;
    return static_cast<bool>(file);
}

// --json's file while a failure is to be written there, as the whole summary.
std::string failureJson;

int Fail(const std::string& message) {
    std::fprintf(stderr, "quelor-render: error: %s\n", message.c_str());
    std::string ignored;
    if (!failureJson.empty())
        WriteText(failureJson, ErrorJson(message), &ignored);
    failureJson.clear();
    return 1;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "quelor-render: warning: %s\n", message.c_str());
}

std::string FourChars(int32_t v) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(static_cast<uint32_t>(v) >> shift & 0xFF);
        text += c >= 32 && c < 127 ? c : '?';
    }
    return text;
}

// Reads the instance and never writes it: the ends of each range come from a
// second instance of the module, where one can be made.
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
    std::string ignored;
    const std::unique_ptr<PluginHost> probe = PluginHost::Load(path, &ignored);
    for (int i = 0; i < e->numParams; ++i) {
        std::string range;
        if (probe && i < probe->ParameterCount()) {
            probe->SetParameter(i, 0.0f);
            range = " (" + probe->ParameterDisplay(i) + " .. ";
            probe->SetParameter(i, 1.0f);
            range += probe->ParameterDisplay(i) + ")";
        }
        const std::string label = host.ParameterLabel(i);
        std::printf("  %3d %-20s %-12s%s%s%s  normalized %.6g\n", i, host.ParameterName(i).c_str(),
                    host.ParameterDisplay(i).c_str(), range.c_str(), label.empty() ? "" : " ",
                    label.c_str(), static_cast<double>(host.GetParameter(i)));
    }
    std::printf("programs:    %d\n", e->numPrograms);
    for (int i = 0; i < e->numPrograms; ++i)
        std::printf("  %3d %s\n", i, host.ProgramNameAt(i).c_str());
}

// What the settings came to: the preset's bytes, then each value given to the plug-in
// in order, as the text the plug-in read itself or as a normalized value. Replayed on a
// fresh instance they set it exactly as the first one is set; a program file alone may
// not, where the plug-in's values do not read back bit for bit from normalized ones.
struct Settings {
    std::vector<uint8_t> preset;
    std::vector<ParameterChoice> values;

    void Record(const ParameterChoice& choice) { values.push_back(choice); }
    bool ApplyTo(const PluginHost& host, std::string* error) const {
        if (!preset.empty() && !ApplyFxp(host, preset, error))
            return false;
        for (const ParameterChoice& value : values) {
            if (value.taken.empty()) {
                host.SetParameter(value.index, value.normalized);
            } else if (!host.SetParameterText(value.index, value.taken)) {
                *error = "a new instance refuses \"" + value.taken + "\" for " +
                         host.ParameterName(value.index);
                return false;
            }
        }
        return true;
    }
};

// The side-chain switch of plug-ins that name it as Quelor does, kept in step with
// --sidechain: selected for a side-chain file unless set by hand, and a warning
// where one is given without the other.
void LinkSideChain(const PluginHost& host, const Options& options, Settings* settings,
                   const std::vector<int>& setByHand) {
    const int index = FindParameter(host, kSideChainSwitch);
    if (index < 0)
        return;
    const bool on = host.ParameterDisplay(index) == kSideChainOn;
    const bool byHand = std::find(setByHand.begin(), setByHand.end(), index) != setByHand.end();
    const std::string name = host.ParameterName(index);
    if (!options.sidechain.empty() && !on) {
        if (!byHand) {
            const ParameterChoice choice =
                SetParameterByText(host, name + "=" + std::string(kSideChainOn));
            if (choice.error.empty()) {
                settings->Record(choice);
                return;
            }
        }
        Warn("--sidechain " + options.sidechain + " is not heard: " + name + " is \"" +
             host.ParameterDisplay(index) + "\"; set --param '" + name + "=" + kSideChainOn + "'");
    } else if (options.sidechain.empty() && on) {
        Warn(name + " is \"" + kSideChainOn +
             "\" but no --sidechain file is given: inputs 3 and 4 are silent, so nothing is "
             "compressed; give --sidechain FILE or set --param '" +
             name + "=" + kSideChainOff + "'");
    }
}

// Preset, then parameters by text, then raw values; the indices set by hand in setByHand.
int Configure(const PluginHost& host, const Options& options, Settings* settings,
              std::vector<int>* setByHand) {
    std::string error;
    if (!options.preset.empty()) {
        if (!ReadFileBytes(options.preset, &settings->preset, &error) ||
            !ApplyFxp(host, settings->preset, &error))
            return Fail(options.preset + ": " + error);
    }
    for (const std::string& assignment : options.params) {
        const ParameterChoice choice = SetParameterByText(host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
        settings->Record(choice);
        setByHand->push_back(choice.index);
    }
    for (const std::string& assignment : options.normalizedParams) {
        const ParameterChoice choice = SetParameterNormalized(host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
        settings->Record(choice);
        setByHand->push_back(choice.index);
    }
    return 0;
}

RenderSetup SetupOf(const PluginHost& host, const Options& options) {
    RenderSetup setup;
    setup.plugin = host.EffectName().empty() ? options.module : host.EffectName();
    setup.module = options.module;
    setup.block = options.block;
    setup.useDouble = options.useDouble;
    for (int i = 0; i < host.ParameterCount(); ++i) {
        const std::string label = host.ParameterLabel(i);
        setup.settings.push_back({host.ParameterName(i),
                                  host.ParameterDisplay(i) + (label.empty() ? "" : " " + label),
                                  host.GetParameter(i)});
    }
    return setup;
}

// One bar for all the work on a terminal, nothing elsewhere; lines printed through
// it clear the bar first.
class Progress {
public:
    Progress(bool shown, uint64_t frames) : show(shown), total(frames) {}
    void Update(uint64_t done) {
        if (!show || total == 0)
            return;
        const auto percent = static_cast<int>(std::min<uint64_t>(done * 100 / total, 100));
        if (percent == last)
            return;
        last = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::printf("\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                    std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
        std::fflush(stdout);
    }
    void Line(const std::string& text) {
        Clear();
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
    void Clear() {
        if (show && last >= 0)
            std::printf("\r%60s\r", "");
        last = -1;
    }

private:
    bool show;
    uint64_t total;
    int last = -1;
};

// Makes the instance for one job, or null with a reason in error.
using InstanceMaker = std::function<std::unique_ptr<PluginHost>(std::string* error)>;

// Renders every job on `threads` workers, each job on a fresh instance of its own, so that
// no file depends on what an instance rendered before; lines for each finished job through
// progress when batch is set.
std::vector<RenderSummary> RenderAll(std::size_t threads, const InstanceMaker& make,
                                     const std::vector<RenderJob>& jobs,
                                     const std::vector<std::string>& refused, Progress& progress,
                                     bool batch) {
    std::vector<RenderSummary> summaries(jobs.size());
    std::mutex lock;
    std::condition_variable finished;
    std::vector<std::size_t> order;
    std::size_t next = 0;
    std::atomic<uint64_t> done{0};
    auto work = [&] {
        for (;;) {
            std::size_t index;
            {
                const std::lock_guard<std::mutex> hold(lock);
                index = next++;
            }
            if (index >= jobs.size())
                return;
            RenderSummary summary;
            summary.error = refused[index];
            std::unique_ptr<PluginHost> host;
            if (summary.error.empty())
                host = make(&summary.error);
            if (host)
                summary = RenderFile(*host, jobs[index], kDemoSeconds, &done);
            summary.in = jobs[index].in;
            summary.out = jobs[index].out;
            const std::lock_guard<std::mutex> hold(lock);
            summaries[index] = std::move(summary);
            order.push_back(index);
            finished.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < threads; ++i)
        workers.emplace_back(work);
    std::size_t reported = 0;
    while (reported < jobs.size()) {
        std::unique_lock<std::mutex> hold(lock);
        finished.wait_for(hold, kProgressInterval, [&] { return order.size() > reported; });
        const std::vector<std::size_t> fresh(order.begin() + static_cast<std::ptrdiff_t>(reported),
                                             order.end());
        hold.unlock();
        for (const std::size_t index : fresh) {
            ++reported;
            if (batch)
                progress.Line(BatchLine(reported, jobs.size(), summaries[index]));
        }
        progress.Update(done.load(std::memory_order_relaxed));
    }
    for (std::thread& worker : workers)
        worker.join();
    progress.Clear();
    return summaries;
}

// The outputs of a batch: OUTDIR/name, with the extension of --format where given.
// refused[i] says why job i cannot run, before any audio is touched.
void PlanBatch(const Options& options, const OutputFormat* forced, std::vector<RenderJob>* jobs,
               std::vector<std::string>* refused) {
    std::set<std::string> taken;
    for (const std::string& in : options.files) {
        RenderJob job;
        job.in = in;
        std::filesystem::path out =
            std::filesystem::path(options.outDir) / std::filesystem::path(in).filename();
        if (forced)
            out.replace_extension(ExtensionFor(*forced));
        job.out = out.string();
        std::string error;
        std::error_code same;
        if (in == "-")
            error = "standard input cannot be part of a batch";
        else if (std::filesystem::equivalent(in, out, same))
            error = "its output " + job.out + " would overwrite it";
        else if (!taken.insert(out.lexically_normal().string()).second)
            error = "its output " + job.out + " is another file's output too";
        else
            ResolveOutputFormat(job.out, options.format, options.subtype, &job.format, &error);
        jobs->push_back(job);
        refused->push_back(error);
    }
}

int Run(Options& options) {
    const bool batch = !options.outDir.empty();
    if (batch && !options.plot.empty())
        return Fail("--plot draws one render; leave it out of a batch (-o)");
    if (!options.plot.empty() && options.out.empty())
        return Fail("--plot needs an output file to render");
    // The output format is settled before the plug-in or any audio is touched.
    OutputFormat forced;
    if (batch && !options.format.empty()) {
        std::string error;
        if (!ResolveOutputFormat("", options.format, options.subtype, &forced, &error))
            return Fail(error);
    }
    RenderJob single;
    if (options.out == "-")
        return Fail("the output must be a file: the summary takes standard output");
    if (!options.out.empty()) {
        std::string error;
        if (!ResolveOutputFormat(options.out, options.format, options.subtype, &single.format,
                                 &error))
            return Fail(error);
    }

    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::Load(options.module, &error);
    if (!host)
        return Fail(error);
    const AEffect* e = host->Effect();
    const std::string name = host->EffectName().empty() ? options.module : host->EffectName();
    if (options.useDouble && !(e->flags & effFlagsCanDoubleReplacing))
        return Fail(name + " cannot process 64-bit audio");
    host->Open(options.rate > 0.0 ? options.rate : kDefaultRate, options.block);
    Settings settings;
    std::vector<int> setByHand;
    if (const int failed = Configure(*host, options, &settings, &setByHand))
        return failed;
    if (!options.out.empty() || batch)
        LinkSideChain(*host, options, &settings, setByHand);
    if (!options.saveFxp.empty() && !WriteFileBytes(options.saveFxp, MakeFxp(*host), &error))
        return Fail(error);
    if (options.info)
        PrintInfo(*host, options.module);
    if (options.out.empty() && !batch)
        return 0;

    const RenderSetup setup = SetupOf(*host, options);
    std::vector<RenderJob> jobs;
    std::vector<std::string> refused;
    if (batch) {
        std::error_code failed;
        std::filesystem::create_directories(options.outDir, failed);
        if (!std::filesystem::is_directory(options.outDir))
            return Fail("cannot make the output folder " + options.outDir);
        PlanBatch(options, options.format.empty() ? nullptr : &forced, &jobs, &refused);
    } else {
        single.in = options.in;
        single.out = options.out;
        single.trace = !options.plot.empty();
        jobs.push_back(single);
        refused.emplace_back();
    }
    uint64_t totalFrames = 0;
    for (RenderJob& job : jobs) {
        job.sidechain = options.sidechain;
        job.rate = options.rate;
        job.block = options.block;
        job.useDouble = options.useDouble;
        job.loudness = !options.noLoudness;
        job.dualMono = options.dualMono;
        job.dither = !options.noDither;
        job.format.quality = options.quality;
        totalFrames += static_cast<uint64_t>(std::max<int64_t>(InputFrames(job, kDemoSeconds), 0));
    }

    // A single render uses the instance set up above; a batch gives every file an
    // instance of its own, set up as that one is.
    const InstanceMaker make = [&](std::string* reason) -> std::unique_ptr<PluginHost> {
        if (!batch)
            return std::move(host); // asked for once, by the one job
        std::unique_ptr<PluginHost> more = PluginHost::Load(options.module, reason);
        if (!more)
            return nullptr;
        more->Open(options.rate > 0.0 ? options.rate : kDefaultRate, options.block);
        if (!settings.ApplyTo(*more, reason))
            return nullptr;
        return more;
    };
    // Files one per thread, as many at once as there are cores to use; where there are at
    // least two cores per file, each file's stages share that many threads.
    const std::size_t cores = options.jobs > 0
                                  ? static_cast<std::size_t>(options.jobs)
                                  : std::max<std::size_t>(1, std::thread::hardware_concurrency());
    const std::size_t threads = std::min(jobs.size(), cores);
    for (RenderJob& job : jobs)
        job.threads = static_cast<int>(cores / threads);

    const double seconds =
        static_cast<double>(totalFrames) / (options.rate > 0.0 ? options.rate : kDefaultRate);
    Progress progress(isatty(STDOUT_FILENO) && (batch || seconds > kProgressAfterSeconds),
                      totalFrames);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<RenderSummary> summaries =
        RenderAll(threads, make, jobs, refused, progress, batch);
    const double taken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    for (const RenderSummary& s : summaries)
        for (const std::string& warning : s.warnings)
            Warn(batch ? s.in + ": " + warning : warning);
    // From here on the summary itself is the JSON, failures included.
    failureJson.clear();
    if (!options.json.empty() &&
        !WriteText(options.json, SummaryJson(setup, summaries, batch), &error))
        return Fail(error);
    int status = 0;
    if (batch) {
        PrintBatchTable(stdout, summaries, taken);
        for (const RenderSummary& s : summaries)
            if (!s.error.empty()) {
                Fail(s.in + ": " + s.error);
                status = 1;
            }
    } else {
        const RenderSummary& s = summaries[0];
        if (!s.error.empty())
            return Fail(s.error);
        PrintSummary(stdout, setup, s);
        if (!options.plot.empty()) {
            const std::string title =
                setup.plugin + ": " + (s.in.empty() ? "drum loop" : s.in) + " -> " + s.out;
            if (!WriteRenderPlot(options.plot, *s.trace, title, &error))
                return Fail(error);
        }
    }
    return status;
}
} // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit fails, and is reported as any failed write is,
    // instead of ending the process with no word.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"Renders audio through a VST 2 plug-in module, as a host does.\n"
                 "IN to OUT; with --demo, a built-in drum loop to OUT; with -o, every IN into OUTDIR.\n"
                 "Integrated loudness and its range: libebur128's exact mode, which keeps\n"
                 "every gating block (about 3 MiB an hour of audio)."};
    Options options;
    app.add_option("files", options.files,
                   "IN OUT (WAV, FLAC, AIFF, OGG, ...; IN may be - for standard input), "
                   "OUT with --demo, or IN... with -o");
    app.add_flag("--demo", options.demo, "render the built-in drum loop (4 s) instead of IN");
    app.add_option("-o,--output-dir", options.outDir,
                   "render every IN into this folder with the same settings");
    app.add_option("--jobs", options.jobs,
                   "cores to use (default: all). Files render one per thread, N at once; with "
                   "at least two cores per file, each file's reading, processing, loudness "
                   "measures and writing run side by side on as many threads as it has "
                   "cores (a pipeline). --jobs 1 renders on one thread")
        ->check(CLI::Range(1, 1024));
    app.add_option("--module", options.module,
                   "the plug-in module to load (default: " + ModuleSearchText(kModuleName) + ")");
    // One value each, so that a file name after one is not taken for a second value.
    app.add_option("--param", options.params,
                   "NAME=VALUE in the parameter's own units or value text, e.g. Threshold=-20; "
                   "the plug-in reads it where it can (effString2Parameter)")
        ->allow_extra_args(false);
    app.add_option("--param-normalized", options.normalizedParams,
                   "INDEX=X: a raw normalized value from 0 to 1")
        ->allow_extra_args(false);
    app.add_option("--preset", options.preset, "load a program file (.fxp) first");
    app.add_option("--save-fxp", options.saveFxp, "write the parameters as a program file");
    app.add_option("--block", options.block, "block size in frames")
        ->check(CLI::Range(1, kLargestBlock))
        ->capture_default_str();
    app.add_option("--rate", options.rate,
                   "sample rate for the plug-in and OUT; IN and the side-chain are resampled "
                   "to it (libsoxr, high quality)")
        ->check(CLI::Range(1.0, 1.0e7));
    app.add_flag("--double", options.useDouble, "process 64-bit audio");
    app.add_option("--sidechain", options.sidechain,
                   "audio file that feeds inputs 3 and 4 (a mono one both, as a mono IN feeds "
                   "1 and 2)");
    app.add_option("--format", options.format,
                   "output container instead of the extension's: wav, flac, aiff, ogg, opus, ...");
    app.add_option("--subtype", options.subtype,
                   "output sample format: pcm16, pcm24, pcm32, float, double, vorbis, opus, ...");
    app.add_flag("--no-dither", options.noDither,
                 "no TPDF dither into integer outputs of 16 bits or fewer (samples are rounded)");
    app.add_option("--quality", options.quality,
                   "Vorbis, Opus and MP3 outputs: 0 (smallest) to 10 (best), libsndfile's VBR "
                   "quality times 10; default Vorbis 5.5, Opus 3.5, MP3 8, about 170-190 kbit/s "
                   "for stereo at 44.1 or 48 kHz")
        ->check(CLI::Range(0.0, 10.0));
    app.add_option("--json", options.json, "write the summary as JSON to this file");
    app.add_flag("--no-loudness", options.noLoudness,
                 "measure peaks and RMS only: no loudness, loudness range or true peak");
    app.add_flag("--dual-mono", options.dualMono,
                 "read a mono file's loudness as the EBU does, on two channels (+3 dB), "
                 "not as one (ITU-R BS.1770)");
    app.add_option("--plot", options.plot,
                   "draw levels and gain change over time into this PNG file");
    app.add_flag("--info", options.info, "print what the host sees of the plug-in");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(e.what());
    }
    failureJson = options.json;
    if (options.module.empty()) {
        options.module = FindModule(kModuleName);
        if (options.module.empty())
            return Fail("no plug-in module found: looked for " + ModuleSearchText(kModuleName) +
                        "; give --module FILE");
    }
    // A bare file name is a file here, not a name for the library search.
    if (options.module.find('/') == std::string::npos)
        options.module = "./" + options.module;
    if (!options.outDir.empty()) {
        if (options.files.empty())
            return Fail("no input files given for -o " + options.outDir);
        if (options.demo)
            return Fail("--demo renders one file; leave it out of a batch (-o)");
    } else if (options.demo) {
        if (options.files.size() != 1)
            return Fail("--demo takes OUT alone: quelor-render --demo OUT");
        options.out = options.files[0];
    } else if (options.files.size() > 2) {
        return Fail("more than one input file needs -o OUTDIR");
    } else if (options.files.size() == 2) {
        options.in = options.files[0];
        options.out = options.files[1];
    } else if (options.files.size() == 1) {
        return Fail("one file given: quelor-render IN OUT renders IN into OUT (IN may be - "
                    "for standard input); --demo OUT renders the built-in drum loop");
    } else if (!options.info && options.saveFxp.empty()) {
        return Fail("no files given (quelor-render IN OUT, --demo OUT, or --info)");
    }
    return Run(options);
}
