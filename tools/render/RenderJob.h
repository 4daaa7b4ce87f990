#pragma once

#include "AudioFile.h"
#include "PluginHost.h"
#include "RenderStats.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One file through one plug-in instance, streamed block by block: read, process,
// measure, write, as stages of a pipeline or one after the other on one thread, with the
// same figures and output either way. Memory does not depend on the length of the file but
// for the loudness meters' blocks (about 3 MiB an hour). The audio goes through in the
// samples the plug-in takes (32-bit unless useDouble), and the input's figures are those
// of what the plug-in hears: resampled first where rate is not the input's.
struct RenderJob {
    std::string in; // empty for the built-in drum loop, "-" for standard input
    std::string out;
    OutputFormat format;
    std::string sidechain; // fed to inputs 3 and 4 when given
    double rate = 0.0;     // the plug-in's and the output's rate, the input and the
                           // side-chain resampled to it; 0 for the input's
    int block = 512;
    bool useDouble = false;
    bool trace = false;    // keep the levels over time for a picture
    bool loudness = true;  // integrated loudness, range and true peak, in and out
    bool dualMono = false; // a mono file's loudness on two channels, as the EBU reads it
    int threads = 1;       // for reading, processing, measuring and writing side by side
    bool dither = true;    // TPDF dither into integer outputs of 16 bits or fewer
};

struct RenderSummary {
    std::string in;
    std::string out;
    std::string error; // set when the render failed; the figures are then incomplete
    std::vector<std::string> warnings; // what the render did that was not asked for
    std::string loudnessRefusal;       // why libebur128 measured nothing, where it refused
    bool loudnessMeasured = false;
    int channels = 0;
    double rate = 0.0;
    double resampledFrom = 0.0;     // the input's own rate, where it was resampled to rate
    double sideResampledFrom = 0.0; // the side-chain's, likewise
    bool dualMono = false;
    uint64_t frames = 0;
    double seconds = 0.0;
    Levels inLevels{};
    Levels outLevels{};            // of the samples as the file holds them
    int format = 0;                // the output's libsndfile format word
    double quality = std::nan(""); // the lossy encoder's, 0 to 10; NaN for others
    bool dithered = false;
    uint64_t clipped = 0;              // samples beyond full scale, for integer outputs
    double peakBeforeClippingDb = 0.0; // the plug-in's output as it came
    GainChange gain;
    Loudness inLoudness{};
    Loudness outLoudness{};
    double taken = 0.0; // wall-clock seconds for the whole render
    std::unique_ptr<LevelTrace> trace;
};

// Frames in job's input as far as its header tells, or -1 (a pipe, an unreadable file).
int64_t InputFrames(const RenderJob& job, double demoSeconds);

// The host is opened, configured and suspended; it is left suspended. done grows by
// the frames rendered so far. A failure says why and removes any partial output.
RenderSummary RenderFile(PluginHost& host, const RenderJob& job, double demoSeconds,
                         std::atomic<uint64_t>* done);
