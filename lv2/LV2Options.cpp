#include "LV2Options.h"

#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>

bool ReadLV2Option(const LV2_Feature* const* features, const char* key, const char* type,
                   void* value, uint32_t size) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (; features && *features; ++features) {
        const LV2_Feature* feature = *features;
        if (!feature->URI)
            continue;
        if (std::strcmp(feature->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(feature->data);
        else if (std::strcmp(feature->URI, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>(feature->data);
    }
    if (!map || !map->map || !options)
        return false;
    const LV2_URID keyUrid = map->map(map->handle, key);
    const LV2_URID typeUrid = map->map(map->handle, type);
    for (const LV2_Options_Option* o = options; o->key || o->value; ++o)
        if (o->context == LV2_OPTIONS_INSTANCE && o->key == keyUrid && o->type == typeUrid &&
            o->size == size && o->value) {
            std::memcpy(value, o->value, size);
            return true;
        }
    return false;
}
