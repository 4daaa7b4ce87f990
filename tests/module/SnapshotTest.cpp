// quelor-snapshot from the command line: the panel it paints and the input it refuses.
#include "raster/RAS_PNG.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

class Snapshot : public ::testing::Test {
protected:
    Snapshot()
        : dir(std::filesystem::temp_directory_path() /
              ("quelor-snapshot-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir);
    }
    ~Snapshot() override { std::filesystem::remove_all(dir); }

    int Run(const std::string& arguments) const {
        const std::string command = std::string(QUELOR_SNAPSHOT_PATH) + " " + arguments + " 2> " +
                                    (dir / "err.txt").string();
        return std::system(command.c_str());
    }

    std::unique_ptr<RAS_IBitmap> Picture(const std::string& name) const {
        return std::unique_ptr<RAS_IBitmap>(RAS_DecodePNGFile((dir / name).c_str(), nullptr));
    }

    // Pixels that differ inside a rectangle of two pictures.
    static int Differing(const RAS_IBitmap& a, const RAS_IBitmap& b, int l, int t, int r,
                         int bottom) {
        int count = 0;
        for (int y = t; y < bottom; ++y)
            for (int x = l; x < r; ++x)
                count +=
                    a.Pixels()[y * a.StridePixels() + x] != b.Pixels()[y * b.StridePixels() + x];
        return count;
    }

    std::filesystem::path dir;
};

} // namespace

TEST_F(Snapshot, PaintsThePanelAndFollowsParametersAndAudio) {
    ASSERT_EQ(Run((dir / "default.png").string()), 0);
    ASSERT_EQ(Run((dir / "ratio.png").string() + " --param Ratio=20"), 0);
    ASSERT_EQ(Run((dir / "loud.png").string() + " --demo --param Gain=12"), 0);
    const auto plain = Picture("default.png"), ratio = Picture("ratio.png"),
               loud = Picture("loud.png");
    ASSERT_TRUE(plain && ratio && loud);
    EXPECT_EQ(plain->PixelWidth(), 510);
    EXPECT_EQ(plain->PixelHeight(), 370);

    // Only the "Ratio" knob turns; the meters move only when audio ran.
    EXPECT_GT(Differing(*plain, *ratio, 100, 190, 148, 238), 0);
    EXPECT_EQ(Differing(*plain, *ratio, 0, 0, 100, 370), 0);
    EXPECT_EQ(Differing(*plain, *ratio, 380, 0, 510, 370), 0);
    EXPECT_GT(Differing(*plain, *loud, 382, 33, 404, 331), 0);

    // The README's pictures are what the tool paints today: the 1x panel, which only the
    // HISTORY button changed, and the 2x panel with the strip.
    for (const std::string picture : {"panel.png", "panel-2x-strip.png"}) {
        const std::string scale = picture == "panel.png" ? "" : " --strip --scale 2";
        ASSERT_EQ(Run((dir / picture).string() + " --demo" + scale), 0);
        const std::unique_ptr<RAS_IBitmap> painted = Picture(picture), shown(RAS_DecodePNGFile(
            (std::string(QUELOR_README_PICTURES) + "/" + picture).c_str(), nullptr));
        ASSERT_TRUE(painted && shown);
        ASSERT_EQ(painted->PixelWidth(), shown->PixelWidth()) << picture;
        EXPECT_EQ(Differing(*painted, *shown, 0, 0, shown->PixelWidth(), shown->PixelHeight()), 0)
            << picture;
    }
}

TEST_F(Snapshot, RefusesWhatItCannotDo) {
    EXPECT_NE(Run((dir / "x.png").string() + " --param Nonsense=3"), 0);
    EXPECT_NE(Run((dir / "x.png").string() + " --input " + (dir / "absent.wav").string()), 0);
    EXPECT_NE(Run((dir / "no-such-dir" / "x.png").string()), 0);
    EXPECT_NE(Run(""), 0);
    ASSERT_EQ(Run("--version > " + (dir / "version.txt").string()), 0);
    std::ifstream version(dir / "version.txt");
    EXPECT_EQ(
        std::string(std::istreambuf_iterator<char>(version), {}).rfind("quelor-snapshot 1.", 0),
        0u);
}
