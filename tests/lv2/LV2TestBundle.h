#pragma once

#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace lv2test {
constexpr const char* kUri = "urn:brovane:quelor";

// The bundle under test: the build's own, or the one $QUELOR_LV2_BUNDLE names, such as
// an unpacked release archive's.
inline std::string Bundle() {
    const char* chosen = std::getenv("QUELOR_LV2_BUNDLE");
    return std::string(chosen && *chosen ? chosen : QUELOR_LV2_BUNDLE) + "/";
}

// Every URI gets the next number, as a host's map does.
class UridMap {
public:
    LV2_URID operator()(const char* uri) { return Map(this, uri); }
    LV2_URID_Map feature{this, Map};

private:
    static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris;
        auto at = std::find(uris.begin(), uris.end(), uri);
        if (at == uris.end())
            at = uris.insert(at, uri);
        return static_cast<LV2_URID>(at - uris.begin() + 1);
    }
    std::vector<std::string> uris;
};
} // namespace lv2test
