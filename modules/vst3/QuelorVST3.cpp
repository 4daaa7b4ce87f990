#include "QuelorVST3.h"

#include "Quelor.h"
#include "QuelorEditorFactory.h"

namespace {

std::unique_ptr<IEffectBase> MakeQuelor() {
    return std::make_unique<Quelor>(&QuelorEditorFactory());
}

// The class ID never changes: hosts store it in their projects. It is the first 16 bytes
// of the SHA-256 of the text "com.brovane.quelor.vst3", read as four big-endian words:
//     printf %s com.brovane.quelor.vst3 | sha256sum | cut -c1-32
//     1cbd9ed25b0faa5b8d753c44064d4a05
// The VST 3 suite recomputes it.
constexpr vst3::Uid kQuelorClassId = vst3::MakeUid(0x1CBD9ED2, 0x5B0FAA5B, 0x8D753C44, 0x064D4A05);

const ProductVST3 kQuelorVST3{
    kQuelorClassId,       "https://brovane.com/quelor",
    "quelor@brovane.com", "Fx|Dynamics",
    QUELOR_VERSION,       MakeQuelor,
};

} // namespace

const ProductVST3& QuelorVST3Product() {
    return kQuelorVST3;
}
