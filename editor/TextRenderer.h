#pragma once

#include "EditorTypes.h"

#include <memory>

class RAS_IBitmap;

// Antialiased text in DejaVu Sans onto a raster bitmap, for window systems that have
// no text drawing we can use. The face named in a style is not looked up: every style
// is drawn in DejaVu Sans, bold from its bold cut, italic slanted. UI thread only.
class TextRenderer {
public:
    // Null when the font library cannot start or the font file is missing.
    static std::unique_ptr<TextRenderer> Create();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Each line of text from the top of rect, aligned in it as the style says and turned by
    // its orientation about rect's top-left corner; clipped to the target only, on a
    // transparent background. False when a glyph cannot be drawn.
    bool Draw(RAS_IBitmap& target, const ITextStyle& style, const char* text,
              const IRectangle& rect);
    // Advance width of the widest line, in pixels.
    int Width(const ITextStyle& style, const char* text);
    // Height of one line (ascender to descender), in pixels.
    int LineHeight(const ITextStyle& style);

private:
    struct Impl;
    explicit TextRenderer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};
