#pragma once

// One plug-in format's host side, as small as the conformance cases need: each driver
// opens the built module through the format's own entry point and drives one instance
// as that format's hosts do. The cases hold every format to the effect driven alone.
#include "IEffectBase.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What a format can express at all; a case needing more skips the format.
enum Feature : unsigned {
    k64Bit = 1,           // 64-bit samples
    kTimedChanges = 2,    // parameter changes at a sample inside a block
    kState = 4,           // state bytes to and from the host
    kTexts = 8,           // a parameter's value from a text and back
    kMonoMain = 16,       // a main input of one channel
    kMonoSideChain = 32,  // a side-chain input of one channel
    kRefusesRates = 64,   // a rate it refuses is answered (VST 2's effSetSampleRate has none)
    kRefusesBlocks = 128, // a largest block it refuses is answered (VST 2's and LV2's have none)
};

// A parameter change at a frame of the block it is sent with; frame 0 is before the block.
struct Change {
    int frame;
    int index;
    double normalized;
};

// How many channels each input bus carries: 2, 1 (it feeds both of its pair's inputs)
// or 0 (the side-chain left out).
struct Routing {
    int main = 2;
    int side = 2;
};

// One block: the effect's four inputs (main L/R, side-chain L/R) and two outputs, at the
// block's first frame. Channels the routing leaves out are not read; a null input stands
// for a channel the host hands over as a null pointer, a null output for one it leaves out.
struct Block {
    std::array<const double*, 4> in{};
    std::array<double*, 2> out{};
    int frames = 0;
    std::vector<Change> changes;
    bool wide = false;
};

// A block's channels in the format's own samples, copied from the block's, outputs too,
// so that one left unwritten shows; a null channel stays null. CopyOut widens the outputs
// back into the block's.
template <class Sample> struct Staged {
    explicit Staged(const Block& b) : n(static_cast<std::size_t>(std::max(b.frames, 0))) {
        for (std::size_t ch = 0; ch < 6; ++ch)
            if (const double* from = ch < 4 ? b.in[ch] : b.out[ch - 4]) {
                storage[ch].assign(from, from + n);
                (ch < 4 ? in[ch] : out[ch - 4]) = storage[ch].data();
            }
    }
    void CopyOut(const Block& b) const {
        for (std::size_t ch = 0; ch < 2; ++ch)
            if (b.out[ch])
                std::copy_n(out[ch], n, b.out[ch]);
    }

    std::size_t n;
    std::array<std::vector<Sample>, 6> storage;
    std::array<Sample*, 4> in{};
    std::array<Sample*, 2> out{};
};

// A host's largest block in the format's integer, held to its range.
template <class Int> Int Saturated(int64_t frames) {
    return static_cast<Int>(std::clamp<int64_t>(frames, std::numeric_limits<Int>::min(),
                                                std::numeric_limits<Int>::max()));
}

// A value as the format hands it to the effect: normalized (VST 2 in float), or in the
// parameter's real units (CLAP, LV2 in float).
struct SentValue {
    double value;
    IValueUnit unit;
};

class FormatInstance {
public:
    virtual ~FormatInstance() = default;
    // The buses the host connects, before Prepare or between blocks; false where the
    // format cannot say it.
    virtual bool Route(const Routing& routing) = 0;
    // The host's set-up (rate, largest block, 64-bit samples where the format sets them
    // up front), then processing switched on. False for a set-up the format refuses; true
    // where it has no answer to give.
    virtual bool Prepare(double rate, int64_t maxBlock, bool wide = false) = 0;
    // Processing switched off and on again, as a host does between renders.
    virtual void Restart() = 0;
    // 32-bit output comes back widened, 64-bit as it is. True when the format answers
    // success (always where it gives no answer).
    virtual bool Process(const Block& block) = 0;
    // The host's state bytes; SetState answers whether the state was taken whole.
    virtual std::vector<uint8_t> State() { return {}; }
    virtual bool SetState(const std::vector<uint8_t>&) { return false; }
    // The value a text names, in real units, and the text the format shows for it; none
    // when it refuses the text.
    struct TextAnswer {
        double value;
        std::string shown;
    };
    virtual std::optional<TextAnswer> TextRoundTrip(int, const char*) { return std::nullopt; }
    // The value the effect hears for a change: by default the normalized value as it is.
    virtual SentValue Sent(int, double normalized) const {
        return {normalized, IValueUnit::kNormalized};
    }
};

struct FormatDriver {
    std::string name;
    unsigned features;
    // The format's text of a value carries its unit ("-12.5 dB", CLAP).
    bool textsCarryUnit;
    std::function<std::unique_ptr<FormatInstance>()> make;
};

inline void PrintTo(const FormatDriver& driver, std::ostream* out) {
    *out << driver.name;
}

// The drivers linked into this program, in the order their files registered them.
std::vector<FormatDriver>& Formats();
inline bool RegisterFormat(FormatDriver driver) {
    Formats().push_back(std::move(driver));
    return true;
}
