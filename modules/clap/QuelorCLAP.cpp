#include "CLAPEntry.h"
#include "Quelor.h"
#include "QuelorEditorFactory.h"

namespace {
constexpr const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT,
                                     CLAP_PLUGIN_FEATURE_COMPRESSOR, CLAP_PLUGIN_FEATURE_STEREO,
                                     nullptr};

// Our maker and product, as the LV2 bundle names them; the version is the project's.
constexpr clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION,
    "com.brovane.quelor",
    "Quelor",
    "Brovane",
    "",
    "",
    "",
    QUELOR_VERSION_STRING,
    "Dynamics compressor with side-chain and brickwall limiter",
    kFeatures,
};

std::unique_ptr<IEffectBase> CreateQuelor() {
    return std::make_unique<Quelor>(&QuelorEditorFactory());
}

constexpr CLAPProduct kProduct{&kDescriptor, CreateQuelor};
} // namespace

const CLAPProduct& CLAPModuleProduct() {
    return kProduct;
}
