#include "QuelorLV2.h"

#include "Quelor.h"

namespace {
IEffectBase* CreateQuelor() {
    return new Quelor(nullptr);
}

constexpr LV2Product kProduct{
    "urn:brovane:quelor",
    "urn:brovane:quelor#ui",
    "CompressorPlugin",
    // Not free software: all rights stay with the maker, under terms of its own.
    "urn:brovane:quelor#license",
    CreateQuelor,
};
} // namespace

const LV2Product& QuelorLV2Product() {
    return kProduct;
}
