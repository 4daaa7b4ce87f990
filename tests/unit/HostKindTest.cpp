#include "HostKind.h"
#include "IEffectBase.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostKind, ProductsAreFoundInLowerCaseAnywhere) {
    EXPECT_EQ(HostKindFromProduct("CUBASE"), kHostKindCubase);
    EXPECT_EQ(HostKindFromProduct("REAPER"), kHostKindReaper);
    EXPECT_EQ(HostKindFromProduct("Ableton Live 11"), kHostKindLive);
    EXPECT_EQ(HostKindFromProduct("Deliverance"), kHostKindLive);
    EXPECT_EQ(HostKindFromProduct("FL Studio (Fruity Wrapper)"), kHostKindFruity);
    EXPECT_EQ(HostKindFromProduct("SAWStudio"), kHostKindSawStudio);
    EXPECT_EQ(HostKindFromProduct("Adobe Audition"), kHostKindAudition);
}

TEST(HostKind, TheFirstListedProductWins) {
    EXPECT_EQ(HostKindFromProduct("Nuendo with Cubase engine"), kHostKindCubase);
    EXPECT_EQ(HostKindFromProduct("nuendo"), kHostKindNuendo);
    // "live" comes after "samplitude" and "fruity".
    EXPECT_EQ(HostKindFromProduct("Samplitude Live"), kHostKindSamplitude);
}

TEST(HostKind, UnknownEmptyAndOverlongTexts) {
    EXPECT_EQ(HostKindFromProduct("Bitwig Studio"), kHostKindOther);
    EXPECT_EQ(HostKindFromProduct(""), kHostKindOther);
    EXPECT_EQ(HostKindFromProduct(nullptr), kHostKindOther);
    // Only the first 255 characters are looked at.
    const std::string padded = std::string(255, 'x') + "reaper";
    EXPECT_EQ(HostKindFromProduct(padded.c_str()), kHostKindOther);
    const std::string inside = std::string(249, 'x') + "reaper";
    EXPECT_EQ(HostKindFromProduct(inside.c_str()), kHostKindReaper);
}

TEST(HostKind, SetHostRecordsKindAndVersion) {
    const EffectIdentity identity{0, "1-1", 0, "t", "", "", 0, 0, 0, 0, false, false};
    IEffectBase effect(identity);
    EXPECT_EQ(effect.StoredHostKind(), kHostKindNotAsked);
    EXPECT_EQ(effect.IdentifyHost(), kHostKindNotAsked);
    effect.SetHost("Unknown DAW", 0x00020100);
    EXPECT_EQ(effect.StoredHostKind(), kHostKindOther);
    EXPECT_EQ(effect.HostVersion(), 0x00020100);
}
