// The entry point LV2 hosts look for, and nothing else leaves the module.
#include "LV2Plugin.h"
#include "QuelorLV2.h"

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const LV2ProductDescriptor descriptor = MakeLV2Descriptor(QuelorLV2Product());
    return index == 0 ? &descriptor.descriptor : nullptr;
}
