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
        {"REAPER", kHostKindReaper},
        {"Deliverance", kHostKindLive},
        {"Nuendo with Cubase engine", kHostKindCubase},
        {"nuendo", kHostKindNuendo},
        {"Samplitude Live", kHostKindSamplitude}, // "live" comes after "samplitude"
        {"", kHostKindOther},
        {nullptr, kHostKindOther},
        {padded.c_str(), kHostKindOther},
        {inside.c_str(), kHostKindReaper},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostKindFromProduct(c.product), c.kind) << (c.product ? c.product : "null");
}
