#include "QuelorLV2.h"

#include "Quelor.h"

namespace {
// The ranges reach past every needle's ends, so a clamped reading shows as the true one.
constexpr LV2MeterPort kMeterPorts[kMeterCount] = {
    {"input_level", "Input Level", "dB", Quelor::kMeterFloorDb, 24.0},
    {"gain_reduction", "Gain Reduction", "dB", 0.0, 60.0},
    {"output_level", "Output Level", "dB", Quelor::kMeterFloorDb, 24.0},
    {"brickwall_activity", "Brickwall Activity", "", 0.0, 1.0},
};

IEffectBase* CreateQuelor() {
    return new Quelor(nullptr);
}

void ReadMeters(IEffectBase& effect, double* values) {
    const Quelor::MeterReadings meters = static_cast<Quelor&>(effect).Meters();
    values[kMeterInput] = meters.inputDb;
    values[kMeterReduction] = meters.reductionDb;
    values[kMeterOutput] = meters.outputDb;
    values[kMeterBrickwall] = meters.brickwall;
}

constexpr LV2Product kProduct{
    "urn:brovane:quelor",
    "urn:brovane:quelor#ui",
    "CompressorPlugin",
    // Not free software: all rights stay with the maker, under terms of its own.
    "urn:brovane:quelor#license",
    kMeterPorts,
    kMeterCount,
    CreateQuelor,
    ReadMeters,
};
} // namespace

const LV2Product& QuelorLV2Product() {
    return kProduct;
}
