// PNG decoding into 32-bit bitmaps holding straight (not premultiplied) alpha.
#pragma once

#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Resources.h"

// Images above this size in either dimension are refused before any pixel storage is
// allocated.
inline constexpr int RAS_MAX_IMAGE_SIDE = 16384;

// Decodes the PNG resource `id` of `module`. Returns `target` resized to the image, or
// a new RAS_MemBitmap owned by the caller when `target` is null; null on any failure
// (missing or damaged data, a target that cannot take the size), releasing everything
// the decoder made.
RAS_IBitmap* RAS_DecodePNGResource(RAS_ModuleHandle module, int id, RAS_IBitmap* target);

// As RAS_DecodePNGResource, reading the file at `path`.
RAS_IBitmap* RAS_DecodePNGFile(const char* path, RAS_IBitmap* target);

// One file decoder of the registry; the head is the most recently registered entry.
struct RAS_ImageFormatEntry {
    // With checkExtension, a path not ending in the format's extension gives null
    // without opening the file.
    RAS_IBitmap* (*decode)(const char* path, bool checkExtension, RAS_IBitmap* target);
    // The file-dialog filter text, e.g. "PNG files (*.PNG)".
    const char* (*describe)();
    RAS_ImageFormatEntry* next;
};

// The newest registered entry, or null. Registration happens during static
// initialisation only, so the list may be read from any thread afterwards.
RAS_ImageFormatEntry* RAS_ImageFormats();

// Pushes `entry` (which must outlive every reader) at the head of the registry.
void RAS_RegisterImageFormat(RAS_ImageFormatEntry* entry);
