#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

// An instance option the host passes through the options feature (mapped with its
// urid:map): the value of key, when the host gives one of type and of size bytes.
bool ReadLV2Option(const LV2_Feature* const* features, const char* key, const char* type,
                   void* value, uint32_t size);
