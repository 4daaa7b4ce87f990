// A command-line VST 2 host: loads a plug-in module as a DAW does and renders
// audio files (or a built-in drum loop) through it, one file or a batch on
// every core, with levels, loudness, gain change, a JSON summary and a picture.
#include "AudioFile.h"
#include "FxpFile.h"
#include "ModuleSearch.h"
#include "ParameterSetting.h"
#include "PendingFile.h"
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

// Where --json goes, made before any work so that a folder that cannot be written is found
// first; until the summary is written there, a failure is, as the whole summary.
std::unique_ptr<PendingFile> jsonFile;

bool WriteJson(const std::string& text, std::string* error) {
    if (!jsonFile)
        return true;
    const bool written = WriteText(*jsonFile, text, error);
    jsonFile.reset();
    return written;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "quelor-render: error: %s\n", message.c_str());
    std::string ignored;
    WriteJson(ErrorJson(message), &ignored);
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
void PrintInfo(std::FILE* to, const PluginHost& host, const std::string& path) {
    const AEffect* e = host.Effect();
    std::fprintf(to, "module:      %s\n", path.c_str());
    std::fprintf(to, "effect:      %s\n", host.EffectName().c_str());
    std::fprintf(to, "vendor:      %s\n", host.VendorName().c_str());
    std::fprintf(to, "product:     %s\n", host.ProductName().c_str());
    std::fprintf(to, "unique id:   '%s' (0x%08X)\n", FourChars(e->uniqueID).c_str(),
                 static_cast<unsigned>(e->uniqueID));
    std::fprintf(to, "version:     %d\n", e->version);
    std::string flags;
    const std::pair<int32_t, const char*> names[] = {
        {effFlagsHasEditor, "editor"},         {effFlagsCanMono, "mono"},
        {effFlagsCanReplacing, "replacing"},   {effFlagsProgramChunks, "chunks"},
        {effFlagsIsSynth, "instrument"},       {effFlagsNoSoundInStop, "no sound in stop"},
        {effFlagsCanDoubleReplacing, "64-bit"}};
    for (const auto& [bit, name] : names)
        if (e->flags & bit)
            flags += (flags.empty() ? "" : ", ") + std::string(name);
    std::fprintf(to, "flags:       0x%X (%s)\n", static_cast<unsigned>(e->flags), flags.c_str());
    std::fprintf(to, "channels:    %d in, %d out\n", e->numInputs, e->numOutputs);
    std::fprintf(to, "latency:     %d samples\n", e->initialDelay);
    std::fprintf(to, "parameters:  %d\n", e->numParams);
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
        std::fprintf(to, "  %3d %-20s %-12s%s%s%s  normalized %.6g\n", i,
                     host.ParameterName(i).c_str(), host.ParameterDisplay(i).c_str(), range.c_str(),
                     label.empty() ? "" : " ", label.c_str(),
                     static_cast<double>(host.GetParameter(i)));
    }
    std::fprintf(to, "programs:    %d\n", e->numPrograms);
    for (int i = 0; i < e->numPrograms; ++i)
        std::fprintf(to, "  %3d %s\n", i, host.ProgramNameAt(i).c_str());
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
    const auto taken = [&](const ParameterChoice& choice) {
        if (std::find(setByHand->begin(), setByHand->end(), choice.index) != setByHand->end())
            Warn(host.ParameterName(choice.index) + " is set more than once; the last, \"" +
                 choice.text + "\", holds");
        settings->Record(choice);
        setByHand->push_back(choice.index);
    };
    for (const std::string& assignment : options.params) {
        const ParameterChoice choice = SetParameterByText(host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
        taken(choice);
    }
    for (const std::string& assignment : options.normalizedParams) {
        const ParameterChoice choice = SetParameterNormalized(host, assignment);
        if (!choice.error.empty())
            return Fail(choice.error);
        taken(choice);
    }
    return 0;
}

RenderSetup SetupOf(const PluginHost& host, const Options& options) {
    RenderSetup setup;
    setup.version = QUELOR_VERSION;
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
    Progress(std::FILE* stream, bool shown, uint64_t frames)
        : to(stream), show(shown), total(frames) {}
    void Update(uint64_t done) {
        if (!show || total == 0)
            return;
        const auto percent = static_cast<int>(std::min<uint64_t>(done * 100 / total, 100));
        if (percent == last)
            return;
        last = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(to, "\r[%s%s] %3d%%",
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
        std::fflush(to);
    }
    void Line(const std::string& text) {
        Clear();
        std::fprintf(to, "%s\n", text.c_str());
        std::fflush(to);
    }
    void Clear() {
        if (show && last >= 0)
            std::fprintf(to, "\r%60s\r", "");
        last = -1;
    }

private:
    std::FILE* to;
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

// Whether two paths name one file: by identity where both exist (links and hard links
// included), else by their canonical forms ("./" and links in the folders included).
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code failed;
    if (fs::equivalent(a, b, failed))
        return true;
    std::error_code failedA, failedB;
    const fs::path canonicalA = fs::weakly_canonical(a, failedA);
    const fs::path canonicalB = fs::weakly_canonical(b, failedB);
    return !failedA && !failedB && canonicalA == canonicalB;
}

// Two of the files a command reads and writes that are one, where writing one would harm
// the other; "" where there are none. "-" is a stream: one each way.
std::string PathConflict(const Options& options) {
    struct Named {
        std::string role;
        std::string path;
        bool written;
    };
    std::vector<Named> paths;
    for (const std::string& in :
         options.outDir.empty() ? std::vector<std::string>{options.in} : options.files)
        paths.push_back({"IN", in, false});
    paths.push_back({"--sidechain", options.sidechain, false});
    paths.push_back({"OUT", options.out, true});
    paths.push_back({"--json", options.json, true});
    paths.push_back({"--plot", options.plot, true});
    paths.push_back({"--save-fxp", options.saveFxp, true});
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            const Named& a = paths[i];
            const Named& b = paths[j];
            const bool streams = a.path == "-" || b.path == "-";
            if (a.path.empty() || b.path.empty() || (!a.written && !b.written && !streams))
                continue;
            if (streams ? a.path == b.path && a.written == b.written : SameFile(a.path, b.path))
                return a.role + " and " + b.role + " both name " +
                       (!streams    ? b.path
                        : a.written ? std::string("standard output")
                                    : std::string("standard input")) +
                       ": give each a file of its own";
        }
    return "";
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

// The file of a --plot or --save-fxp given, made before any work; null with a failure
// already reported in failed where it cannot be written.
std::unique_ptr<PendingFile> OptionalOutput(const std::string& path, int* failed) {
    if (path.empty())
        return nullptr;
    std::string error;
    std::unique_ptr<PendingFile> file = PendingFile::Create(path, &error);
    if (!file)
        *failed = Fail(error);
    return file;
}

int Run(Options& options) {
    const bool batch = !options.outDir.empty();
    if (batch && !options.plot.empty())
        return Fail("--plot draws one render; leave it out of a batch (-o)");
    if (!options.plot.empty() && options.out.empty())
        return Fail("--plot needs an output file to render");
    if (options.plot == "-")
        return Fail("--plot takes a file name; standard output carries only audio or JSON");
    int unwritable = 0;
    const std::unique_ptr<PendingFile> plotFile = OptionalOutput(options.plot, &unwritable);
    const std::unique_ptr<PendingFile> fxpFile = OptionalOutput(options.saveFxp, &unwritable);
    if (unwritable)
        return unwritable;
    // Text goes where no data does.
    std::FILE* report = options.out == "-" || options.json == "-" ? stderr : stdout;
    // The output format is settled before the plug-in or any audio is touched.
    OutputFormat forced;
    if (batch && !options.format.empty()) {
        std::string error;
        if (!ResolveOutputFormat("", options.format, options.subtype, &forced, &error))
            return Fail(error);
    }
    RenderJob single;
    if (!options.out.empty()) {
        // Standard output has no extension to tell its container: WAV unless --format says.
        const bool toStdout = options.out == "-";
        std::string error;
        if (!ResolveOutputFormat(options.out,
                                 toStdout && options.format.empty() ? "wav" : options.format,
                                 options.subtype, &single.format, &error))
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
    if (fxpFile &&
        (!WriteFileBytes(fxpFile->Path(), MakeFxp(*host), &error) || !fxpFile->Commit(&error)))
        return Fail(fxpFile->Named(error));
    if (options.info)
        PrintInfo(report, *host, options.module);
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
        for (const RenderJob& job : jobs)
            if (!options.json.empty() && SameFile(job.out, options.json))
                return Fail("--json " + options.json + " is the output of " + job.in +
                            " too: give it a file of its own");
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
    Progress progress(report, isatty(fileno(report)) && (batch || seconds > kProgressAfterSeconds),
                      totalFrames);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<RenderSummary> summaries =
        RenderAll(threads, make, jobs, refused, progress, batch);
    const double taken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    for (const RenderSummary& s : summaries)
        for (const std::string& warning : s.warnings)
            Warn(batch ? s.in + ": " + warning : warning);
    // The summary itself is the JSON, failures included.
    if (!WriteJson(SummaryJson(setup, summaries, batch), &error))
        return Fail(error);
    int status = 0;
    if (batch) {
        PrintBatchTable(report, summaries, taken);
        for (const RenderSummary& s : summaries)
            if (!s.error.empty()) {
                Fail(s.in + ": " + s.error);
                status = 1;
            }
    } else {
        const RenderSummary& s = summaries[0];
        if (!s.error.empty())
            return Fail(s.error);
        PrintSummary(report, setup, s);
        if (plotFile) {
            const std::string title =
                setup.plugin + ": " + (s.in.empty() ? "drum loop" : s.in) + " -> " + s.out;
            if (!WriteRenderPlot(plotFile->Path(), *s.trace, title, &error) ||
                !plotFile->Commit(&error))
                return Fail(plotFile->Named(error));
        }
    }
    return status;
}
} // namespace

// Edits that turn one word into another, for "did you mean".
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean --param?" for the first word that is no option but is close to one.
std::string Hint(const CLI::App& app) {
    for (const std::string& extra : app.remaining()) {
        if (extra.rfind("--", 0) != 0)
            continue;
        const std::string word = extra.substr(2, extra.find('=') - 2);
        std::string best;
        std::size_t nearest = std::max<std::size_t>(2, word.size() / 3) + 1;
        for (const CLI::Option* option : app.get_options())
            for (const std::string& name : option->get_lnames())
                if (const std::size_t d = EditDistance(word, name); d < nearest) {
                    nearest = d;
                    best = name;
                }
        if (!best.empty())
            return "; did you mean --" + best + "?";
    }
    return "";
}

// A setting that reached the file list, where a --param took one word of it or none.
std::string MisreadSetting(const Options& options) {
    for (const std::string& param : options.params)
        if (param.find('=') == std::string::npos)
            return "--param takes NAME=VALUE, not \"" + param +
                   "\"; quote a setting that has spaces: --param 'Stereo Mode=Dual Mono'";
    std::error_code failed;
    for (const std::string& file : options.files)
        if (file.find('=') != std::string::npos && !std::filesystem::exists(file, failed))
            return "\"" + file +
                   "\" looks like a setting, not a file: give each setting its own "
                   "--param, as --param '" +
                   file + "'";
    return "";
}

int main(int argc, char** argv) {
    // A write past the file-size limit fails, and is reported as any failed write is,
    // instead of ending the process with no word. A reader that goes away is a failed write
    // too, so that the temporary files are removed.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    RemovePendingFilesOnSignal();
    CLI::App app{
        "Renders audio through a VST 2 plug-in module, as a host does.\n"
        "IN to OUT; with --demo, a built-in drum loop to OUT; with -o, every IN into OUTDIR.\n"
        "Integrated loudness and its range: libebur128's exact mode, which keeps\n"
        "every gating block (about 3 MiB an hour of audio)."};
    Options options;
    app.add_option("files", options.files,
                   "IN OUT (WAV, FLAC, AIFF, OGG, ...; IN may be - for standard input, OUT - for "
                   "standard output), OUT with --demo, or IN... with -o");
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
    app.add_option("--json", options.json,
                   "write the summary as JSON to this file (- for standard output)");
    app.add_flag("--no-loudness", options.noLoudness,
                 "measure peaks and RMS only: no loudness, loudness range or true peak");
    app.add_flag("--dual-mono", options.dualMono,
                 "read a mono file's loudness as the EBU does, on two channels (+3 dB), "
                 "not as one (ITU-R BS.1770)");
    app.add_option("--plot", options.plot,
                   "draw levels and gain change over time into this PNG file");
    app.add_flag("--info", options.info, "print what the host sees of the plug-in");
    app.footer(
        "Every output is written to a temporary file beside it and put in place only when\n"
        "complete: a failure or an interruption leaves an existing file as it was. IN, OUT,\n"
        "--sidechain, --json, --plot and --save-fxp must be different files. With OUT or\n"
        "--json -, the summary and warnings go to standard error.");
    // Wide enough for the longest option, so that man pages made from this keep them apart.
    app.get_formatter()->column_width(32);
    app.set_version_flag("--version", std::string("quelor-render ") + QUELOR_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ExtrasError& e) {
        return Fail(std::string(e.what()) + Hint(app));
    } catch (const CLI::ParseError& e) {
        return Fail(e.what());
    }
    if (const std::string misread = MisreadSetting(options); !misread.empty())
        return Fail(misread);
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
    if (const std::string conflict = PathConflict(options); !conflict.empty())
        return Fail(conflict);
    if (!options.json.empty()) {
        std::string error;
        jsonFile = PendingFile::Create(options.json, &error);
        if (!jsonFile)
            return Fail(error);
    }
    if (options.module.empty()) {
        options.module = FindModule(kModuleName);
        if (options.module.empty())
            return Fail("no plug-in module found: looked for " + ModuleSearchText(kModuleName) +
                        "; give --module FILE");
    }
    // A bare file name is a file here, not a name for the library search.
    if (options.module.find('/') == std::string::npos)
        options.module = "./" + options.module;
    return Run(options);
}
