#pragma once

#include "VST3Base.h"

#include <memory>
#include <string>

class IEffectBase;

// What a product tells the VST 3 adapter and its factory about itself: one class, the
// effect it makes and what the host lists it under beyond the effect's own name and maker.
// Everything here outlives the module's objects.
struct ProductVST3 {
    vst3::Uid classId; // laid out as the platform lays out identifiers (vst3::MakeUid)
    const char* url;
    const char* email;
    const char* subCategories; // tags joined by '|'
    const char* version;       // "Major.Minor.Sub"
    // UI thread: a new effect, or null when it could not be made.
    std::unique_ptr<IEffectBase> (*createEffect)();
};

// The class category of a component that is its own edit controller.
inline constexpr const char* kAudioModuleClass = "Audio Module Class";
// The interface version the declarations follow; hosts file a class whose text does not
// start with "VST 3" elsewhere.
inline constexpr const char* kSdkVersionText = "VST 3.7.14";

// The class's name and vendor: the effect's own, read from one it makes.
struct ClassNamesVST3 {
    char name[64] = {};
    char vendor[64] = {};
};
ClassNamesVST3 ReadClassNames(const ProductVST3& product);

// The class ID as hosts print it: 32 upper-case hex digits of the four published words.
std::string ClassIdText(const vst3::Uid& classId);
