// Writes the bundle's descriptions from the effect's own tables and the project's version,
// at build time:
//     quelor-lv2-ttl BUNDLE_DIR PLUGIN_BINARY [UI_BINARY]
#include "LV2Bundle.h"
#include "Quelor.h"
#include "QuelorLV2.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: quelor-lv2-ttl BUNDLE_DIR PLUGIN_BINARY [UI_BINARY]\n");
        return 2;
    }
    Quelor effect;
    const LV2BundleFiles files{argv[2], argc > 3 ? argv[3] : nullptr, "Quelor.ttl", "presets.ttl"};
    const LV2ReleaseVersion release{QUELOR_VERSION_MAJOR, QUELOR_VERSION_MINOR,
                                    QUELOR_VERSION_PATCH};
    return WriteLV2Bundle(QuelorLV2Product(), release, effect, files, argv[1]) ? 0 : 1;
}
