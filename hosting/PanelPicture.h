#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels (0xAARRGGBB, rows packed) as an RGB PNG: the panel is
// opaque on screen, so the alpha is dropped. False when the file cannot be written.
bool WritePanelPicture(const std::string& path, const uint32_t* pixels, int width, int height);
