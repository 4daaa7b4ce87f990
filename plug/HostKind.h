#pragma once

#include <cstdint>

enum HostKind : int32_t {
    kHostKindNotAsked = -1,
    kHostKindOther = 0,
    kHostKindReaper = 1,
    kHostKindCubase = 3,
    kHostKindNuendo = 4,
    kHostKindCakewalk = 5,
    kHostKindFruity = 7,
    kHostKindSamplitude = 8,
    kHostKindLive = 9,
    kHostKindMelodyne = 12,
    kHostKindVstManLib = 13,
    kHostKindAuLab = 14,
    kHostKindForte = 15,
    kHostKindChainer = 16,
    kHostKindAudition = 17,
    kHostKindOrion = 18,
    kHostKindSawStudio = 20,
};

// Recognises a host application from the product text it reports; the first
// listed product found anywhere in the lower-cased text decides.
HostKind HostKindFromProduct(const char* productText);
