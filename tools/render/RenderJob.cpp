#include "RenderJob.h"

#include "BlockPipeline.h"
#include "DemoSignal.h"
#include "MonoInput.h"
#include "PendingFile.h"
#include "Quantizer.h"
#include "Resampler.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace {
constexpr double kDefaultRate = 48000.0;
constexpr int kSideChainFirstInput = 2;

// Where the programme or the side-chain comes from: a file, a pipe, or the built-in drum
// loop (made at the rate asked for), a file at another rate resampled to it.
class Source {
public:
    Source(const RenderJob& job, double demoSeconds, std::string* error) {
        if (!job.in.empty()) {
            reader = AudioReader::Open(job.in, error);
            ResampleTo(job.rate, error);
            return;
        }
        const double rate = job.rate > 0.0 ? job.rate : kDefaultRate;
        StereoSignal signal = MakeDemoSignal(rate, demoSeconds);
        demo = {rate, 0, {std::move(signal.left), std::move(signal.right)}};
    }
    Source(std::unique_ptr<AudioReader> file, double rate, std::string* error)
        : reader(std::move(file)) {
        ResampleTo(rate, error);
    }
    bool Valid() const { return reader || !demo.channels.empty(); }
    int Channels() const { return reader ? reader->Channels() : 2; }
    double Rate() const {
        return resampler ? resampledRate : reader ? reader->SampleRate() : demo.sampleRate;
    }
    // The file's own rate where it is resampled, else 0.
    double ResampledFrom() const { return resampler ? reader->SampleRate() : 0.0; }
    int Format() const { return reader ? reader->Format() : 0; }
    AudioTags Tags() const { return reader ? reader->Tags() : AudioTags{}; }
    uint64_t NonFinite() const { return reader ? reader->NonFinite() : 0; }
    int64_t Frames() const {
        if (resampler)
            return Resampler::Frames(reader->Frames(), reader->SampleRate(), resampledRate);
        return reader ? reader->Frames() : static_cast<int64_t>(demo.Frames());
    }
    // Why the last read failed, or "".
    std::string Error() const {
        return resampler ? resampler->Error() : reader ? reader->Error() : std::string();
    }
    template <class Sample> std::size_t Read(Sample* data, std::size_t count) {
        if (resampler)
            return resampler->Read(data, count);
        if (reader)
            return reader->Read(data, count);
        const std::size_t n = std::min(count, demo.Frames() - position);
        for (std::size_t i = 0; i < n; ++i, ++position)
            for (std::size_t ch = 0; ch < 2; ++ch)
                data[i * 2 + ch] = static_cast<Sample>(demo.channels[ch][position]);
        return n;
    }

private:
    void ResampleTo(double to, std::string* error) {
        if (!reader || to <= 0.0 || to == reader->SampleRate())
            return;
        resampledRate = to;
        resampler = Resampler::Open(*reader, to, error);
        if (!resampler)
            reader.reset();
    }

    std::unique_ptr<AudioReader> reader;
    std::unique_ptr<Resampler> resampler; // reads from reader
    double resampledRate = 0.0;
    AudioData demo;
    std::size_t position = 0;
};

std::string Shown(const std::string& path) {
    return path.empty() ? "the built-in drum loop" : path == "-" ? "standard input" : path;
}

// Every input slot the plug-in announces reads a buffer: the programme on inputs 1 and 2
// and the side-chain on 3 and 4, each as its pair hears it (a mono file feeds both), and
// silence elsewhere. Every output slot writes one; those past the file's width are dropped.
template <class Sample> class Blocks {
public:
    Blocks(const AEffect* e, std::size_t frames, std::size_t width, std::size_t sideWidth)
        : programme(width, std::vector<Sample>(frames)),
          side(sideWidth, std::vector<Sample>(frames)), silence(frames),
          outputs(static_cast<std::size_t>(std::max(e->numOutputs, 0)),
                  std::vector<Sample>(frames)),
          inPointers(static_cast<std::size_t>(std::max(e->numInputs, 0)), silence.data()) {
        Feed(programme, 0);
        Feed(side, kSideChainFirstInput);
        for (auto& channel : outputs)
            outPointers.push_back(channel.data());
    }

    // n interleaved frames of the programme and, where there is one, of the side-chain.
    void Fill(const Sample* in, const Sample* sideIn, std::size_t n) {
        Deinterleave(in, programme, n);
        if (sideIn)
            Deinterleave(sideIn, side, n);
        // Refilled each block: a plug-in that writes into its inputs must not be heard.
        std::fill_n(silence.begin(), n, Sample(0));
    }

    void Process(AEffect* e, std::size_t n) {
        const auto count = static_cast<int32_t>(n);
        if constexpr (sizeof(Sample) == sizeof(double)) {
            e->processDoubleReplacing(e, inPointers.data(), outPointers.data(), count);
        } else if (e->flags & effFlagsCanReplacing) {
            e->processReplacing(e, inPointers.data(), outPointers.data(), count);
        } else {
            for (auto& channel : outputs)
                std::fill(channel.begin(), channel.end(), Sample(0));
            e->process(e, inPointers.data(), outPointers.data(), count);
        }
    }

    void Drain(Sample* out, std::size_t width, std::size_t n) const {
        // Stereo in one pass, which the compiler turns into vector shuffles.
        if (width == 2) {
            const Sample* left = outputs[0].data();
            const Sample* right = outputs[1].data();
            for (std::size_t i = 0; i < n; ++i) {
                out[2 * i] = left[i];
                out[2 * i + 1] = right[i];
            }
            return;
        }
        for (std::size_t slot = 0; slot < width; ++slot)
            for (std::size_t i = 0; i < n; ++i)
                out[i * width + slot] = outputs[slot][i];
    }

private:
    void Feed(std::vector<std::vector<Sample>>& channels, std::size_t firstSlot) {
        Sample* given[2] = {};
        for (std::size_t ch = 0; ch < std::min<std::size_t>(channels.size(), 2); ++ch)
            given[ch] = channels[ch].data();
        Sample* pair[2];
        FeedInputPair(given, static_cast<int>(channels.size()), pair);
        for (std::size_t i = 0; i < 2; ++i)
            if (pair[i] && firstSlot + i < inPointers.size())
                inPointers[firstSlot + i] = pair[i];
    }

    static void Deinterleave(const Sample* frames, std::vector<std::vector<Sample>>& channels,
                             std::size_t n) {
        const std::size_t width = channels.size();
        if (width == 2) {
            Sample* left = channels[0].data();
            Sample* right = channels[1].data();
            for (std::size_t i = 0; i < n; ++i) {
                left[i] = frames[2 * i];
                right[i] = frames[2 * i + 1];
            }
            return;
        }
        for (std::size_t ch = 0; ch < width; ++ch)
            for (std::size_t i = 0; i < n; ++i)
                channels[ch][i] = frames[i * width + ch];
    }

    std::vector<std::vector<Sample>> programme, side;
    std::vector<Sample> silence;
    std::vector<std::vector<Sample>> outputs;
    std::vector<Sample*> inPointers, outPointers;
};

// "1 sample", "2 samples".
std::string Counted(uint64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Decibels(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", db);
    return text;
}

std::string Seconds(uint64_t frames, double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / rate);
    return text;
}

// Frames a block of the pipeline holds at most: a whole number of the plug-in's blocks,
// so that the plug-in is called as it would be without the pipeline.
constexpr std::size_t kPipelineFrames = 65536;
// Blocks in flight: enough that no stage waits for another's hiccups, within this memory.
constexpr std::size_t kPipelineBytes = std::size_t{8} << 20;
constexpr std::size_t kFewestBlocks = 3;
constexpr std::size_t kMostBlocks = 8;

template <class Sample>
std::vector<AudioBlock<Sample>> MakeBlocks(const RenderJob& job, std::size_t width,
                                           std::size_t sideWidth) {
    const auto block = static_cast<std::size_t>(job.block);
    const std::size_t frames = std::max<std::size_t>(1, kPipelineFrames / block) * block;
    const std::size_t bytes = frames * (2 * width + sideWidth) * sizeof(Sample);
    const std::size_t count =
        job.threads > 1 ? std::clamp(kPipelineBytes / bytes, kFewestBlocks, kMostBlocks) : 1;
    std::vector<AudioBlock<Sample>> blocks(count);
    for (AudioBlock<Sample>& b : blocks) {
        b.in.resize(frames * width);
        b.out.resize(frames * width);
        b.side.resize(frames * sideWidth);
    }
    return blocks;
}

// Reads the programme and the side-chain into blocks, in order; silence once the
// side-chain has ended, and a warning afterwards.
class BlockReader {
public:
    BlockReader(Source& programme, Source* sideChain) : source(programme), side(sideChain) {}

    template <class Sample> bool Read(AudioBlock<Sample>& b, std::string* error) {
        const std::size_t capacity = b.in.size() / static_cast<std::size_t>(source.Channels());
        const std::size_t n = source.Read(b.in.data(), capacity);
        if (!source.Error().empty()) {
            *error = source.Error();
            return false;
        }
        if (side && n > 0) {
            const auto sideWidth = static_cast<std::size_t>(side->Channels());
            const std::size_t got = sideOver ? 0 : side->Read(b.side.data(), n);
            if (!side->Error().empty()) {
                *error = side->Error();
                return false;
            }
            sideOver = got < n;
            sideFrames += got;
            std::fill(b.side.begin() + static_cast<std::ptrdiff_t>(got * sideWidth),
                      b.side.begin() + static_cast<std::ptrdiff_t>(n * sideWidth), Sample(0));
        }
        b.first = frames;
        b.frames = n;
        frames += n;
        return true;
    }
    uint64_t Frames() const { return frames; }
    uint64_t SideFrames() const { return sideFrames; }

private:
    Source& source;
    Source* side;
    uint64_t frames = 0;
    uint64_t sideFrames = 0;
    bool sideOver = false;
};

// The output, opened as the first block is written (into its pending file, which is put in
// place only once the file is complete), so that opening overlaps the other stages' work.
class OutputFile {
public:
    OutputFile(const RenderJob& job, const RenderSummary& summary, const Source& source,
               std::unique_ptr<PendingFile> destination)
        : pending(std::move(destination)), format(job.format), channels(summary.channels),
          rate(summary.rate), sourceFormat(source.Format()), frames(source.Frames()),
          tags(source.Tags()), onSteps(IntegerBits(summary.format) != 0) {}

    template <class Sample> bool Write(const Sample* data, std::size_t count, std::string* error) {
        return Named(Open(error) && writer->Write(data, count, error), error);
    }
    // Standard output is opened at once: a container that cannot stream is refused before
    // any work.
    bool OpenStream(std::string* error) {
        if (pending->Path() != "-" || Open(error))
            return true;
        if (!error->empty() && error->back() == '.')
            error->pop_back();
        *error += "; give --format flac, au or raw, or redirect standard output to a file";
        return false;
    }
    // Completes the file, opening it first where no block came, and puts it in place.
    bool Close(std::string* error) {
        return Named(Open(error) && writer->Close(error), error) && pending->Commit(error);
    }
    // After a failure: half a file must not pass for a whole one, nor replace one.
    void Discard() {
        writer.reset();
        pending.reset();
    }

private:
    bool Open(std::string* error) {
        if (!writer) {
            writer = AudioWriter::Open(pending->Path(), format, channels, rate, sourceFormat,
                                       frames, error);
            if (writer)
                writer->SetTags(tags);
            if (writer && onSteps)
                writer->TakeSteps();
        }
        return writer != nullptr;
    }
    bool Named(bool ok, std::string* error) const {
        if (!ok)
            *error = pending->Named(*error);
        return ok;
    }

    std::unique_ptr<PendingFile> pending;
    OutputFormat format;
    int channels;
    double rate;
    int sourceFormat;
    int64_t frames;
    AudioTags tags;
    bool onSteps; // the processing stage quantizes to the output's integer steps
    std::unique_ptr<AudioWriter> writer;
};

template <class Sample>
bool Stream(PluginHost& host, const RenderJob& job, Source& source, Source* side,
            OutputFile& writer, RenderSummary& summary, std::atomic<uint64_t>* done) {
    const int channels = source.Channels();
    const auto width = static_cast<std::size_t>(channels);
    const auto block = static_cast<std::size_t>(job.block);
    const auto sideWidth = static_cast<std::size_t>(side ? side->Channels() : 0);
    std::vector<AudioBlock<Sample>> blocks = MakeBlocks<Sample>(job, width, sideWidth);
    Blocks<Sample> buffers(host.Effect(), block, width, sideWidth);
    InOutMeter levels(channels, summary.rate);
    std::optional<LoudnessMeter> inLoudness, outLoudness;
    // Made by the stage that uses it, where its set-up overlaps the other stages' work.
    const auto loudness = [&](std::optional<LoudnessMeter>& meter) -> LoudnessMeter& {
        if (!meter)
            meter.emplace(channels, summary.rate, job.dualMono);
        return *meter;
    };
    BlockReader reader(source, side);
    // Integer outputs take their steps in this stage, in order, so that every measure that
    // follows is of the file as written.
    std::optional<Quantizer> quantizer;
    if (const int bits = IntegerBits(summary.format))
        quantizer.emplace(bits, summary.dithered);

    BlockPipeline<Sample> pipeline;
    using Block = AudioBlock<Sample>;
    // The plug-in in its own blocks, and the measures that follow the audio in order.
    const int processed = pipeline.Add([&](Block& b, std::string*) {
        for (std::size_t at = 0; at < b.frames; at += block) {
            const std::size_t n = std::min(block, b.frames - at);
            buffers.Fill(&b.in[at * width], side ? &b.side[at * sideWidth] : nullptr, n);
            host.SetSamplePosition(static_cast<double>(b.first + at));
            buffers.Process(host.Effect(), n);
            buffers.Drain(&b.out[at * width], width, n);
        }
        if (quantizer)
            quantizer->Apply(b.out.data(), b.frames * width);
        levels.Add(b.in.data(), b.out.data(), b.frames);
        if (summary.trace)
            summary.trace->Add(b.in.data(), b.out.data(), b.frames);
        return true;
    });
    if (job.loudness) {
        pipeline.Add([&](Block& b, std::string*) {
            loudness(inLoudness).Add(b.in.data(), b.frames);
            return true;
        });
        pipeline.Add(
            [&](Block& b, std::string*) {
                loudness(outLoudness).Add(b.out.data(), b.frames);
                return true;
            },
            processed);
    }
    pipeline.Add(
        [&](Block& b, std::string* error) {
            if (!writer.Write(b.out.data(), b.frames, error))
                return false;
            if (done)
                done->fetch_add(b.frames, std::memory_order_relaxed);
            return true;
        },
        processed);
    summary.error = pipeline.Run(
        [&](Block& b, std::string* error) { return reader.Read(b, error); }, blocks, job.threads);
    summary.frames = reader.Frames();
    if (!summary.error.empty())
        return false;
    for (const auto& [read, name] :
         {std::pair{&source, Shown(job.in)}, std::pair{side, "the side-chain " + job.sidechain}})
        if (read && read->NonFinite())
            summary.warnings.push_back(Counted(read->NonFinite(), "sample") + " of " + name +
                                       " not finite (NaN or infinity), read as silence");
    if (side && reader.SideFrames() < summary.frames)
        summary.warnings.push_back(
            "the side-chain " + job.sidechain + " ends after " +
            Seconds(reader.SideFrames(), summary.rate) + ", " + Shown(job.in) + " after " +
            Seconds(summary.frames, summary.rate) + ": the rest was compressed against silence");
    summary.inLevels = levels.In();
    summary.outLevels = levels.Out();
    summary.peakBeforeClippingDb =
        quantizer ? ToDecibels(quantizer->Peak()) : summary.outLevels.peakDb;
    summary.clipped = quantizer ? quantizer->Clipped() : 0;
    if (summary.clipped)
        summary.warnings.push_back(Counted(summary.clipped, "sample") +
                                   " clipped: the plug-in's output peaks at " +
                                   Decibels(summary.peakBeforeClippingDb) + " dBFS");
    summary.gain = levels.Gain();
    summary.loudnessMeasured = job.loudness;
    if (job.loudness) {
        summary.inLoudness = loudness(inLoudness).Result();
        summary.outLoudness = loudness(outLoudness).Result();
        summary.loudnessRefusal = inLoudness->Refusal();
    } else {
        const double none = std::nan("");
        summary.inLoudness = summary.outLoudness = {none, none, none};
    }
    return true;
}
} // namespace

int64_t InputFrames(const RenderJob& job, double demoSeconds) {
    if (job.in.empty())
        return static_cast<int64_t>(demoSeconds * (job.rate > 0.0 ? job.rate : kDefaultRate));
    if (job.in == "-")
        return -1;
    std::string ignored;
    const std::unique_ptr<AudioReader> reader = AudioReader::Open(job.in, &ignored);
    if (!reader)
        return -1;
    return job.rate > 0.0 ? Resampler::Frames(reader->Frames(), reader->SampleRate(), job.rate)
                          : reader->Frames();
}

RenderSummary RenderFile(PluginHost& host, const RenderJob& job, double demoSeconds,
                         std::atomic<uint64_t>* done) {
    RenderSummary summary;
    summary.in = job.in;
    summary.out = job.out;
    Source source(job, demoSeconds, &summary.error);
    if (!source.Valid())
        return summary;
    const AEffect* e = host.Effect();
    const std::string name = host.EffectName().empty() ? "the plug-in" : host.EffectName();
    summary.channels = source.Channels();
    summary.rate = job.rate > 0.0 ? job.rate : source.Rate();
    summary.resampledFrom = source.ResampledFrom();
    summary.dualMono = job.dualMono;
    if (summary.channels > e->numInputs || summary.channels > e->numOutputs ||
        summary.channels > 2) {
        summary.error = Shown(job.in) + " has " + std::to_string(summary.channels) + " channels; " +
                        name + " takes " +
                        std::to_string(std::min({e->numInputs, e->numOutputs, 2})) + " at most";
        return summary;
    }
    std::unique_ptr<Source> side;
    if (!job.sidechain.empty()) {
        side = std::make_unique<Source>(AudioReader::Open(job.sidechain, &summary.error), job.rate,
                                        &summary.error);
        if (!side->Valid())
            return summary;
        if (side->Channels() > 2) {
            summary.error = "the side-chain " + job.sidechain + " has " +
                            std::to_string(side->Channels()) + " channels; it takes 1 or 2";
            return summary;
        }
        if (e->numInputs < kSideChainFirstInput + 2) {
            summary.error = name + " has no side-chain inputs 3 and 4";
            return summary;
        }
        // With a rate asked for, both are resampled to it; without, they must agree.
        if (side->Rate() != source.Rate()) {
            summary.error = "the side-chain runs at " +
                            std::to_string(static_cast<long>(side->Rate())) + " Hz, " +
                            Shown(job.in) + " at " +
                            std::to_string(static_cast<long>(source.Rate())) + " Hz";
            return summary;
        }
        summary.sideResampledFrom = side->ResampledFrom();
    }
    // Streaming reads the input while the output grows: they must be different files.
    std::error_code unrelated;
    for (const std::string& read : {job.in, job.sidechain})
        if (!read.empty() && read != "-" && std::filesystem::equivalent(read, job.out, unrelated)) {
            summary.error = "the output " + job.out + " is " + read + " itself; give another name";
            return summary;
        }
    if (!AudioWriter::Check(job.out, job.format, summary.channels, summary.rate, source.Format(),
                            &summary.error))
        return summary;
    summary.format = ChosenFormat(job.format, summary.channels, summary.rate, source.Format());
    summary.quality = EncoderQuality(job.format, summary.format);
    const int bits = IntegerBits(summary.format);
    summary.dithered = job.dither && bits > 0 && bits <= 16;
    std::unique_ptr<PendingFile> pending = PendingFile::Create(job.out, &summary.error);
    if (!pending)
        return summary;
    OutputFile writer(job, summary, source, std::move(pending));
    if (!writer.OpenStream(&summary.error))
        return summary;
    if (job.trace)
        summary.trace = std::make_unique<LevelTrace>(summary.channels, summary.rate);

    host.Prepare(summary.rate, job.block);
    // A mono programme is heard on both inputs of the pair, so both are announced.
    host.AnnounceChannels(side ? kSideChainFirstInput + 2 : std::min(e->numInputs, 2),
                          std::min(e->numOutputs, 2));
    host.Resume();
    const auto start = std::chrono::steady_clock::now();
    const bool rendered = job.useDouble
                              ? Stream<double>(host, job, source, side.get(), writer, summary, done)
                              : Stream<float>(host, job, source, side.get(), writer, summary, done);
    host.Suspend();
    if (rendered)
        writer.Close(&summary.error);
    summary.taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    summary.seconds = static_cast<double>(summary.frames) / summary.rate;
    if (!summary.error.empty())
        writer.Discard();
    return summary;
}
