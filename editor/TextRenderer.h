#pragma once

#include "EditorTypes.h"

#include <memory>
#include <string>

class RAS_IBitmap;

// Antialiased text onto a raster bitmap, for window systems that have no text drawing
// we can use. The face is looked up once, at creation: DejaVu Sans where it is
// installed, else the system's sans-serif face, else whatever scalable face there is.
// The face named in a style is not looked up: every style is drawn in that one face,
// bold from its bold cut where there is one, italic slanted. UI thread only.
class TextRenderer {
public:
    // Searches the system's font configuration, or the fontconfig configuration file
    // given. Null when the font library cannot start or no usable face is found.
    static std::unique_ptr<TextRenderer> Create(const char* fontConfiguration = nullptr);
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

    // The face found, and the file it came from.
    const std::string& Family() const;
    const std::string& FontFile() const;

private:
    struct Impl;
    explicit TextRenderer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};
