#pragma once

#include "LV2Product.h"

// The Quelor bundle: its URIs, joined to the effect, whose buses and meters give its ports.
const LV2Product& QuelorLV2Product();
