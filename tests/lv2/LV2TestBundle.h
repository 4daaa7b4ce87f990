#pragma once

#include <cstdlib>
#include <string>

// The bundle under test: the build's own, or the one $QUELOR_LV2_BUNDLE names, such as
// an unpacked release archive's.
inline std::string LV2TestBundle() {
    const char* chosen = std::getenv("QUELOR_LV2_BUNDLE");
    return chosen && *chosen ? chosen : QUELOR_LV2_BUNDLE;
}
