#pragma once

#include "IEditorFactory.h"
#include "ProductDescription.h"
#include "VST3Base.h"

#include <memory>
#include <string>

class IEffectBase;

// What joins one product to the VST 3 adapter and its factory: one class, described by
// the product. Everything here outlives the module's objects.
struct ProductVST3 {
    const ProductDescription* product;
    const IEditorFactory* panel; // null for a module without the panel

    // Laid out as the platform lays out identifiers.
    vst3::Uid ClassId() const {
        const uint32_t* words = product->ids.vst3ClassId;
        return vst3::MakeUid(words[0], words[1], words[2], words[3]);
    }
    // UI thread: a new effect, or null when it could not be made.
    std::unique_ptr<IEffectBase> Create() const;
};

// The class category of a component that is its own edit controller.
inline constexpr const char* kAudioModuleClass = "Audio Module Class";
// The interface version the declarations follow; hosts file a class whose text does not
// start with "VST 3" elsewhere.
inline constexpr const char* kSdkVersionText = "VST 3.7.14";

// The class's name and vendor: the product's.
struct ClassNamesVST3 {
    char name[64] = {};
    char vendor[64] = {};
};
ClassNamesVST3 ReadClassNames(const ProductVST3& product);

// The class ID as hosts print it: 32 upper-case hex digits of the four published words.
std::string ClassIdText(const vst3::Uid& classId);
