// The face the text renderer finds through fontconfig: the preferred family where it is
// installed, whatever there is elsewhere, and no renderer when there is nothing.
#include "TextRenderer.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Composite.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>

namespace {
namespace fs = std::filesystem;

// A fontconfig configuration that sees only the fonts copied into a folder of its own.
class FontFolder {
public:
    FontFolder()
        : root(fs::temp_directory_path() /
               ("quelor-fonts-" + std::to_string(getpid()) + "-" + std::to_string(made++))) {
        fs::remove_all(root);
        fs::create_directories(root / "fonts");
        std::ofstream(root / "fonts.conf")
            << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
            << "<fontconfig><dir>" << (root / "fonts").string() << "</dir><cachedir>"
            << (root / "cache").string() << "</cachedir></fontconfig>\n";
    }
    ~FontFolder() { fs::remove_all(root); }
    FontFolder(const FontFolder&) = delete;
    FontFolder& operator=(const FontFolder&) = delete;

    // Copies the system's font files named, under names that say nothing of them.
    void Add(std::initializer_list<const char*> names) {
        for (const char* name : names)
            fs::copy_file(SystemFonts() / name,
                          root / "fonts" / ("face" + std::to_string(count++) + ".ttf"));
    }
    std::unique_ptr<TextRenderer> Renderer() const {
        return TextRenderer::Create((root / "fonts.conf").c_str());
    }
    std::string Folder() const { return (root / "fonts").string(); }

    // Where the system's preferred face lies, and the rest of its family beside it.
    static const fs::path& SystemFonts() {
        static const fs::path folder = fs::path(TextRenderer::Create()->FontFile()).parent_path();
        return folder;
    }

private:
    static inline int made = 0;
    fs::path root;
    int count = 0;
};

ITextStyle Style(int style) {
    ITextStyle s;
    s.size = 14;
    s.style = style;
    return s;
}

TEST(TextRenderer, FindsThePreferredFamilyWhereverItIsElseAnotherFace) {
    EXPECT_EQ(TextRenderer::Create()->Family(), "DejaVu Sans");
    FontFolder folder;
    folder.Add({"DejaVuSansMono.ttf", "DejaVuSans.ttf"});
    std::unique_ptr<TextRenderer> both = folder.Renderer();
    ASSERT_TRUE(both);
    EXPECT_EQ(both->Family(), "DejaVu Sans");
    EXPECT_EQ(fs::path(both->FontFile()).parent_path().string(), folder.Folder());

    FontFolder other;
    other.Add({"DejaVuSansMono.ttf"});
    std::unique_ptr<TextRenderer> mono = other.Renderer();
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->Family(), "DejaVu Sans Mono");
    RAS_MemBitmap target(60, 20);
    RAS_FillArea(&target, 0, 0, 60, 20, 0xFFFFFFFF, 1.0f, RAS_OP_COPY);
    EXPECT_TRUE(mono->Draw(target, Style(0), "-12.0", {0, 0, 60, 20}));
    EXPECT_GT(std::count_if(target.Pixels(), target.Pixels() + 60 * 20,
                            [](RAS_Pixel32 p) { return p != 0xFFFFFFFF; }),
              20);

    // No face, or no configuration: no renderer.
    FontFolder empty;
    EXPECT_FALSE(empty.Renderer());
    EXPECT_FALSE(TextRenderer::Create("/nonexistent/fonts.conf"));
}

TEST(TextRenderer, DrawsBoldFromTheFamilysBoldCutOnly) {
    FontFolder folder;
    folder.Add({"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"});
    FontFolder regularOnly;
    regularOnly.Add({"DejaVuSans.ttf"});
    for (const FontFolder* f : {&folder, &regularOnly}) {
        std::unique_ptr<TextRenderer> text = f->Renderer();
        ASSERT_TRUE(text);
        const int regular = text->Width(Style(0), "Threshold");
        EXPECT_EQ(text->Width(Style(1), "Threshold") > regular, f == &folder);
    }
}
} // namespace
