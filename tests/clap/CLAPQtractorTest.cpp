// A real host's scanner instantiates Quelor.clap in its own process and lists what it found.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

namespace {
constexpr char kScanner[] = "/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan";
} // namespace

TEST(CLAPQtractor, ScannerListsQuelorWithEditorAndState) {
#ifdef QUELOR_SANITIZED
    GTEST_SKIP() << "Qtractor's scanner is not built with the sanitizers our module needs";
#endif
    if (!std::filesystem::exists(kScanner))
        GTEST_SKIP() << kScanner << " is missing: scripts/install-deps installs qtractor";
    const std::string command =
        std::string("echo 'CLAP:") + QUELOR_CLAP_PATH + "' | " + kScanner + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    EXPECT_EQ(pclose(pipe), 0);
    // name | audio ins:outs (main ports only) | MIDI | params in:out | flags | file | index
    const std::regex line(std::string("CLAP\\|Quelor\\|2:2\\|0:0\\|12:[0-9]+\\|GUI,EXT[^|]*\\|") +
                          QUELOR_CLAP_PATH + "\\|0\\|.*");
    EXPECT_TRUE(std::regex_search(output, line)) << output;
}
