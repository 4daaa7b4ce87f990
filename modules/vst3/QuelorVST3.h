#pragma once

#include "ProductVST3.h"

// Quelor as the VST 3 module makes it: the effect with its panel, under a fixed class ID.
const ProductVST3& QuelorVST3Product();
