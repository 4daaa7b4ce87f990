#include "HostKind.h"

#include <cctype>
#include <cstring>

namespace {
struct ProductMatch {
    const char* text;
    HostKind kind;
};

// Order matters: Nuendo reports texts that also name Cubase.
constexpr ProductMatch kProducts[] = {
    {"cubase", kHostKindCubase},
    {"reaper", kHostKindReaper},
    {"nuendo", kHostKindNuendo},
    {"cakewalk", kHostKindCakewalk},
    {"samplitude", kHostKindSamplitude},
    {"fruity", kHostKindFruity},
    {"live", kHostKindLive},
    {"melodyne", kHostKindMelodyne},
    {"vstmanlib", kHostKindVstManLib},
    {"aulab", kHostKindAuLab},
    {"forte", kHostKindForte},
    {"chainer", kHostKindChainer},
    {"audition", kHostKindAudition},
    {"orion", kHostKindOrion},
    {"sawstudio", kHostKindSawStudio},
};

constexpr std::size_t kProductTextSize = 256;
} // namespace

HostKind HostKindFromProduct(const char* productText) {
    char lower[kProductTextSize];
    std::size_t n = 0;
    if (productText)
        for (; n + 1 < sizeof lower && productText[n]; ++n)
            lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(productText[n])));
    lower[n] = '\0';
    for (const ProductMatch& match : kProducts)
        if (std::strstr(lower, match.text))
            return match.kind;
    return kHostKindOther;
}
