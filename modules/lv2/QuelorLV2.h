#pragma once

#include "LV2Product.h"

// The meter outputs of the bundle, in port order after the audio ports.
enum QuelorMeterPort { kMeterInput, kMeterReduction, kMeterOutput, kMeterBrickwall, kMeterCount };

// The Quelor bundle: its URIs, audio ports and meters, joined to the effect.
const LV2Product& QuelorLV2Product();
