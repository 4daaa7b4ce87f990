#include "QuelorLV2.h"

#include "Quelor.h"

const LV2Product& QuelorLV2Product() {
    static const LV2Product product = LV2ProductOf(Quelor::kProduct);
    return product;
}
