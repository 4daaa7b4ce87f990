#include "HostKind.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostKind, ProductsAreFoundInLowerCaseAnywhereAndTheFirstListedWins) {
    const std::string padded = std::string(255, 'x') + "reaper"; // past the 255 looked at
    const std::string inside = std::string(249, 'x') + "reaper";
    const struct {
        const char* product;
        int kind;
    } cases[] = {
        {"CUBASE", kHostKindCubase},
        {"REAPER", kHostKindReaper},
        {"Ableton Live 11", kHostKindLive},
        {"Deliverance", kHostKindLive},
        {"FL Studio (Fruity Wrapper)", kHostKindFruity},
        {"SAWStudio", kHostKindSawStudio},
        {"Adobe Audition", kHostKindAudition},
        {"Nuendo with Cubase engine", kHostKindCubase},
        {"nuendo", kHostKindNuendo},
        {"Samplitude Live", kHostKindSamplitude}, // "live" comes after "samplitude"
        {"Bitwig Studio", kHostKindOther},
        {"", kHostKindOther},
        {nullptr, kHostKindOther},
        {padded.c_str(), kHostKindOther},
        {inside.c_str(), kHostKindReaper},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostKindFromProduct(c.product), c.kind) << (c.product ? c.product : "null");
}
