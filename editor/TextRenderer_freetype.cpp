// Text through FreeType, in the DejaVu Sans files of Debian's fonts-dejavu-core.
#include "TextRenderer.h"

#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Draw.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace {
constexpr const char* kRegularFont = QUELOR_FONT_DIR "/DejaVuSans.ttf";
constexpr const char* kBoldFont = QUELOR_FONT_DIR "/DejaVuSans-Bold.ttf";
constexpr int kStyleBold = 1;
constexpr int kStyleItalic = 2;
constexpr int kAlignCentre = 1;
constexpr int kAlignRight = 2;
// The core package has no oblique cut; this is the slant of DejaVu's own.
constexpr double kItalicSlant = 0.2;

FT_Fixed Fixed(double v) {
    return static_cast<FT_Fixed>(std::lround(v * 65536.0));
}

FT_Pos RoundToPixel(FT_Pos v) {
    return (v + 32) & ~FT_Pos{63};
}

// Calls f with each line of text, without its line break.
template <class F> void ForEachLine(const char* text, F f) {
    std::string_view rest(text);
    for (int index = 0;; ++index) {
        const std::size_t end = rest.find('\n');
        f(index, rest.substr(0, end));
        if (end == std::string_view::npos)
            return;
        rest.remove_prefix(end + 1);
    }
}

unsigned long CharCode(char c) {
    return static_cast<unsigned char>(c); // the editor's texts are Latin-1
}

// The glyph's coverage as ink of colour; rows one by one, as FreeType pads them.
void DrawGlyph(RAS_IBitmap& target, const FT_Bitmap& glyph, int left, int top, RAS_Pixel32 ink) {
    for (unsigned row = 0; row < glyph.rows; ++row)
        RAS_DrawCoverage(&target, left, top + static_cast<int>(row), ink,
                         glyph.buffer + static_cast<std::ptrdiff_t>(row) * glyph.pitch,
                         static_cast<int>(glyph.width), 1, 1.0f, RAS_OP_COPY);
}
} // namespace

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    FT_Face regular = nullptr;
    FT_Face bold = nullptr;
    bool boldMissing = false;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (bold)
            FT_Done_Face(bold);
        if (regular)
            FT_Done_Face(regular);
        if (library)
            FT_Done_FreeType(library);
    }

    // The face for the style, sized so that ascender to descender is the style's size
    // (the cell height Windows fonts are asked for); null when it cannot be sized.
    FT_Face FaceFor(const ITextStyle& style) {
        FT_Face face = regular;
        if (style.style == kStyleBold) {
            if (!bold && !boldMissing && FT_New_Face(library, kBoldFont, 0, &bold) != 0) {
                bold = nullptr;
                boldMissing = true;
            }
            face = bold ? bold : regular;
        }
        FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0,
                                   static_cast<FT_Long>(std::clamp(style.size, 1, 1000)) * 64, 0,
                                   0};
        if (FT_Request_Size(face, &request) != 0)
            return nullptr;
        FT_Set_Transform(face, nullptr, nullptr);
        return face;
    }

    // Advance of a line in 26.6 pixels, untransformed.
    static FT_Pos LineWidth(FT_Face face, std::string_view line) {
        FT_Pos width = 0;
        for (char c : line)
            if (FT_Load_Char(face, CharCode(c), FT_LOAD_DEFAULT) == 0)
                width += face->glyph->advance.x;
        return width;
    }
};

TextRenderer::TextRenderer(std::unique_ptr<Impl> state) : impl(std::move(state)) {}

TextRenderer::~TextRenderer() = default;

std::unique_ptr<TextRenderer> TextRenderer::Create() {
    auto state = std::make_unique<Impl>();
    if (FT_Init_FreeType(&state->library) != 0) {
        state->library = nullptr;
        return nullptr;
    }
    if (FT_New_Face(state->library, kRegularFont, 0, &state->regular) != 0) {
        state->regular = nullptr;
        return nullptr;
    }
    return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(state)));
}

int TextRenderer::Width(const ITextStyle& style, const char* text) {
    FT_Face face = impl->FaceFor(style);
    if (!face || !text)
        return 0;
    FT_Pos widest = 0;
    ForEachLine(text, [&](int, std::string_view line) {
        widest = std::max(widest, Impl::LineWidth(face, line));
    });
    return static_cast<int>((widest + 63) >> 6);
}

int TextRenderer::LineHeight(const ITextStyle& style) {
    FT_Face face = impl->FaceFor(style);
    if (!face)
        return 0;
    return static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender + 63) >>
                            6);
}

bool TextRenderer::Draw(RAS_IBitmap& target, const ITextStyle& style, const char* text,
                        const IRectangle& rect) {
    FT_Face face = impl->FaceFor(style);
    if (!face)
        return false;
    if (!text || !target.Pixels())
        return true;
    // Text colour as Windows takes it: the alpha of the style's colour is not used.
    const auto channel = [](int32_t v, int shift) {
        return static_cast<RAS_Pixel32>(std::clamp(v, 0, 255)) << shift;
    };
    const RAS_Pixel32 ink = 0xFF000000u | channel(style.colour.R, 16) | channel(style.colour.G, 8) |
                            channel(style.colour.B, 0);

    // The slant shears x by height; the orientation turns everything about rect's corner.
    const double angle = style.orientation * std::numbers::pi / 180.0;
    const double cosine = std::cos(angle);
    const double sine = std::sin(angle);
    const double slant = style.style == kStyleItalic ? kItalicSlant : 0.0;
    FT_Matrix matrix{Fixed(cosine), Fixed(cosine * slant - sine), Fixed(sine),
                     Fixed(sine * slant + cosine)};
    const bool plain = style.orientation % 360 == 0 && slant == 0.0;

    const FT_Pos ascender = face->size->metrics.ascender;
    const FT_Pos lineHeight = ascender - face->size->metrics.descender;
    const FT_Pos boxWidth = static_cast<FT_Pos>(rect.R - rect.L) * 64;
    bool drawn = true;
    ForEachLine(text, [&](int index, std::string_view line) {
        FT_Pos x = 0;
        if (style.alignment == kAlignCentre)
            x = (boxWidth - Impl::LineWidth(face, line)) / 2;
        else if (style.alignment == kAlignRight)
            x = boxWidth - Impl::LineWidth(face, line);
        // FreeType's y grows upwards: the baseline lies below rect's top.
        const FT_Pos y = -(ascender + index * lineHeight);
        FT_Vector pen{RoundToPixel(x), RoundToPixel(y)};
        if (!plain)
            pen = {static_cast<FT_Pos>(std::lround(cosine * static_cast<double>(pen.x) -
                                                   sine * static_cast<double>(pen.y))),
                   static_cast<FT_Pos>(std::lround(sine * static_cast<double>(pen.x) +
                                                   cosine * static_cast<double>(pen.y)))};
        for (char c : line) {
            FT_Set_Transform(face, plain ? nullptr : &matrix, &pen);
            if (FT_Load_Char(face, CharCode(c), FT_LOAD_RENDER) != 0) {
                drawn = false;
                continue;
            }
            const FT_GlyphSlot glyph = face->glyph;
            if (glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && glyph->bitmap.pitch > 0)
                DrawGlyph(target, glyph->bitmap, rect.L + glyph->bitmap_left,
                          rect.T - glyph->bitmap_top, ink);
            pen.x += glyph->advance.x;
            pen.y += glyph->advance.y;
        }
    });
    FT_Set_Transform(face, nullptr, nullptr);
    return drawn;
}
