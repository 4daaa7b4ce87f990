#include "Quelor.h"

namespace {
constexpr const char* kClapFeatures[] = {"audio-effect", "compressor", "stereo", nullptr};

std::unique_ptr<IEffectBase> CreateQuelor(const IEditorFactory* panel) {
    return std::make_unique<Quelor>(panel);
}
} // namespace

// The VST 3 class ID is the first 16 bytes of the SHA-256 of "com.brovane.quelor.vst3",
// read as four big-endian words:
//     printf %s com.brovane.quelor.vst3 | sha256sum | cut -c1-32
// The VST 3 suite recomputes it.
const ProductDescription Quelor::kProduct{
    "Quelor",
    "Brovane",
    QUELOR_VERSION_TEXT,
    0x00010000,
    "Dynamics compressor with side-chain and brickwall limiter",
    "https://brovane.com/quelor",
    "quelor@brovane.com",
    {FourCharCode("Qlr1"), FourCharCode("Bvne"), {0x1CBD9ED2, 0x5B0FAA5B, 0x8D753C44, 0x064D4A05},
     "com.brovane.quelor", "urn:brovane:quelor", "urn:brovane:quelor#ui"},
    "Fx|Dynamics",
    kClapFeatures,
    "CompressorPlugin",
    // Not free software: all rights stay with the maker, under terms of its own.
    "urn:brovane:quelor#license",
    CreateQuelor,
};
