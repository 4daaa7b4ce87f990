#pragma once

#include "LV2Product.h"

#include <string>

class IEffectBase;

// The file names a bundle's descriptions point at, relative to the bundle.
struct LV2BundleFiles {
    const char* binary;   // the plug-in's shared object
    const char* uiBinary; // the panel's shared object, or null for none
    const char* pluginTtl;
    const char* presetsTtl;
};

// The release a bundle describes, as MAJOR.MINOR.PATCH.
struct LV2ReleaseVersion {
    int major;
    int minor;
    int patch;
};

// lv2:minorVersion and lv2:microVersion of a release. Hosts take an odd number for a
// development build and hide it, and a higher one for a newer release: 2 x (100 x MAJOR
// + MINOR) and 2 x PATCH are even and grow with every release while MINOR stays below
// 100.
struct LV2VersionNumbers {
    int minorVersion;
    int microVersion;
};
LV2VersionNumbers LV2Versions(const LV2ReleaseVersion& release);

// A port symbol for a parameter name: lower case letters, digits and underscores, not
// starting with a digit ("Release 2" gives "release_2").
std::string LV2Symbol(const char* name);

// Writes manifest.ttl, the plug-in's description and its presets into directory from
// the product, the release and the effect's own parameter table and presets. False,
// with a message on stderr, when a file cannot be written.
bool WriteLV2Bundle(const LV2Product& product, const LV2ReleaseVersion& release,
                    IEffectBase& effect, const LV2BundleFiles& files, const std::string& directory);
