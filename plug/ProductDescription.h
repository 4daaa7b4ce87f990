#pragma once

#include <cstdint>
#include <memory>

struct IEditorFactory;
class IEffectBase;

// The identifiers hosts store in their projects, one per format; none may ever change.
struct FormatIdentifiers {
    int32_t vst2UniqueId;
    int32_t vst2MakerId;
    uint32_t vst3ClassId[4]; // the four words as hosts print them
    const char* clapId;
    const char* lv2Uri;
    const char* lv2UiUri;
};

// A product, as every format names it to its hosts: who made it, what it is, how hosts
// file it, and how its effect is made. The effect's own tables (parameters, buses) come
// from the effect it makes; each format's adapter derives all it tells a host from these.
struct ProductDescription {
    const char* name;
    const char* maker;
    const char* versionText; // "major.minor.patch"
    int32_t version;         // major << 16 | minor << 8 | patch
    const char* description;
    const char* url;
    const char* email;
    FormatIdentifiers ids;
    const char* vst3Categories;      // tags joined by '|'
    const char* const* clapFeatures; // ends with null
    const char* lv2Class;            // an lv2core class name, e.g. "CompressorPlugin"
    const char* lv2License;          // the URI of the terms it is distributed under
    // Any thread: a new effect, with an editor built from panel where one is given; null
    // when it could not be made.
    std::unique_ptr<IEffectBase> (*create)(const IEditorFactory* panel);
};
