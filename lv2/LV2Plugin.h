#pragma once

#include "LV2Product.h"

#include <lv2/core/lv2.h>

// The descriptor a product's lv2_descriptor hands to the host. The host passes it back
// to instantiate, which is how an instance finds its product.
struct LV2ProductDescriptor {
    LV2_Descriptor descriptor;
    const LV2Product* product;
};

// Fills the descriptor of a product; both must outlive every instance.
LV2ProductDescriptor MakeLV2Descriptor(const LV2Product& product);

// The block length an instance prepares for when the host does not say; longer runs are
// processed in pieces.
constexpr int kLV2DefaultBlockLength = 4096;
