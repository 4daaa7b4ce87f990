// The test host's fault finders, whose going blind no plug-in test would notice,
// and the one loader opening a module from a folder whose name has spaces.
#include "CLAPTestAudio.h"
#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(CLAPAudioBuffers, GuardsCatchWritesOutsideTheFramesAndSharedPortsAlias) {
    CLAPAudioBuffers<float> in({2, 1}, 16);
    CLAPAudioBuffers<double> wide({2}, 16);
    EXPECT_NE(in.Port(1).data32, nullptr);
    EXPECT_EQ(in.Port(1).data64, nullptr);
    EXPECT_EQ(in.Port(0).channel_count, 2u);
    EXPECT_EQ(wide.Port(0).data32, nullptr);
    EXPECT_EQ(wide.Port(0).data64[1], wide.Channel(0, 1));

    in.Channel(0, 1)[0] = 1.0f;
    in.Channel(0, 1)[15] = 1.0f;
    EXPECT_TRUE(in.GuardsIntact());
    in.Channel(0, 1)[16] = 1.0f;
    EXPECT_FALSE(in.GuardsIntact());
    wide.Channel(0, 0)[-1] = 1.0;
    EXPECT_FALSE(wide.GuardsIntact());

    // In place, with a channel count the shared port did not have.
    CLAPAudioBuffers<float> out({1}, 16);
    out.ShareWith(0, in, 0);
    EXPECT_EQ(out.Port(0).channel_count, 2u);
    EXPECT_EQ(out.Port(0).data32[1], in.Channel(0, 1));
    EXPECT_EQ(out.Channel(0, 0), in.Port(0).data32[0]);
}

// The suites take paths on the build machine, and a release may be unpacked into a folder
// whose name has spaces.
TEST(SharedLibrary, OpensAPathWithSpacesAndFindsOnlyWhatItExports) {
    namespace fs = std::filesystem;
    const std::string built = QUELOR_CLAP_PROBE_PATH;
    const std::string folder = built.substr(0, built.rfind('/')) + "/a folder with spaces";
    const std::string copy = folder + "/probe copy.clap";
    fs::create_directories(SharedLibrary::NativePath(folder));
    fs::copy_file(SharedLibrary::NativePath(built), SharedLibrary::NativePath(copy),
                  fs::copy_options::overwrite_existing);
    SharedLibrary library(copy);
    ASSERT_TRUE(library.IsOpen()) << library.Error();
    EXPECT_NE(library.Symbol("clap_entry"), nullptr);
    EXPECT_EQ(library.Symbol("clap_entry_"), nullptr);
    library.Close();
    EXPECT_EQ(library.Symbol("clap_entry"), nullptr);
    fs::remove_all(SharedLibrary::NativePath(folder));
}
