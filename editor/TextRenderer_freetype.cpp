// Text through FreeType, in a face that fontconfig finds when the renderer is made:
// distributions keep their fonts in places of their own, and not all have DejaVu.
#include "TextRenderer.h"

#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Draw.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace {
// The face the panel's texts were drawn for.
constexpr const char* kPreferredFamily = "DejaVu Sans";
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

// One face fontconfig offers.
struct FontChoice {
    std::string file;
    int index = 0;
    std::string family;
    int weight = FC_WEIGHT_REGULAR;
};

// Offers accept the scalable faces of config in fontconfig's
// order of preference for an upright face of weight, in the preferred family, else a
// sans-serif one, until accept takes one. Whether one was taken.
template <class Accept> bool FindFace(FcConfig* config, int weight, Accept accept) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kPreferredFamily));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    bool taken = false;
    for (int i = 0; fonts && !taken && i < fonts->nfont; ++i) {
        const FcPattern* font = fonts->fonts[i];
        FcChar8* file = nullptr;
        FcChar8* family = nullptr;
        FcBool scalable = FcFalse;
        FontChoice choice;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable)
            continue;
        choice.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(font, FC_INDEX, 0, &choice.index);
        FcPatternGetInteger(font, FC_WEIGHT, 0, &choice.weight);
        if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch)
            choice.family = reinterpret_cast<const char*>(family);
        taken = accept(choice);
    }
    if (fonts)
        FcFontSetDestroy(fonts);
    return taken;
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
    FontChoice regularChoice;
    FontChoice boldChoice; // no file: there is no bold cut
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
            if (!bold && !boldMissing &&
                (boldChoice.file.empty() ||
                 FT_New_Face(library, boldChoice.file.c_str(), boldChoice.index, &bold) != 0)) {
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

std::unique_ptr<TextRenderer> TextRenderer::Create(const char* fontConfiguration) {
    auto state = std::make_unique<Impl>();
    if (FT_Init_FreeType(&state->library) != 0) {
        state->library = nullptr;
        return nullptr;
    }
    // A configuration of our own, even of the system's fonts: the process's current one
    // is the host's, and once made it is never freed.
    FcConfig* config = nullptr;
    if (fontConfiguration) {
        config = FcConfigCreate();
        if (config && (!FcConfigParseAndLoad(
                           config, reinterpret_cast<const FcChar8*>(fontConfiguration), FcTrue) ||
                       !FcConfigBuildFonts(config))) {
            FcConfigDestroy(config);
            config = nullptr;
        }
    } else {
        config = FcInitLoadConfigAndFonts();
    }
    if (!config)
        return nullptr;
    Impl& s = *state;
    // The first face FreeType can open; a file fontconfig lists may be gone or broken.
    FindFace(config, FC_WEIGHT_REGULAR, [&s](const FontChoice& choice) {
        if (FT_New_Face(s.library, choice.file.c_str(), choice.index, &s.regular) != 0) {
            s.regular = nullptr;
            return false;
        }
        s.regularChoice = choice;
        return true;
    });
    // Bold only from the same family's own bold cut; without one, bold is drawn regular.
    if (s.regular)
        FindFace(config, FC_WEIGHT_BOLD, [&s](const FontChoice& choice) {
            const FontChoice& regular = s.regularChoice;
            if (choice.family == regular.family && choice.weight >= FC_WEIGHT_DEMIBOLD &&
                (choice.file != regular.file || choice.index != regular.index))
                s.boldChoice = choice;
            return true;
        });
    FcConfigDestroy(config);
    if (!s.regular)
        return nullptr;
    return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(state)));
}

const std::string& TextRenderer::Family() const {
    return impl->regularChoice.family;
}

const std::string& TextRenderer::FontFile() const {
    return impl->regularChoice.file;
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
