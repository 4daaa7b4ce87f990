// Soak of quelor-render: long synthetic stereo programmes at 48 kHz piped through the
// real tool into Quelor.so and out to a WAV file, with its summary as JSON and its
// picture. Records the tool's peak resident memory and its real-time factor for each
// length; memory must stay under the limit and grow with the length by the loudness
// meters' blocks alone.
#include "DemoSignal.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
constexpr int kRate = 48000;
constexpr double kLoopSeconds = 4.0;
constexpr long kLimitKiB = 64 * 1024;
// Growth from the shortest to the longest render beyond this, and beyond what libebur128's
// exact mode keeps of every gating block on its two meters, is memory held per frame.
constexpr long kGrowthKiB = 1024;
constexpr double kLoudnessKiBPerHour = 4096.0;

void PutLE(std::string& bytes, uint32_t v, int size) {
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A streamed WAV header: 16-bit stereo, the data size given as unknown.
std::string WavHeader() {
    std::string h = "RIFF";
    PutLE(h, 0xFFFFFFFFu, 4);
    h += "WAVEfmt ";
    PutLE(h, 16, 4);
    PutLE(h, 1, 2); // PCM
    PutLE(h, 2, 2);
    PutLE(h, kRate, 4);
    PutLE(h, kRate * 4, 4);
    PutLE(h, 4, 2);
    PutLE(h, 16, 2);
    h += "data";
    PutLE(h, 0xFFFFFFFFu, 4);
    return h;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Figures {
    long peakKiB = 0;
    double realtime = 0.0;
    bool ok = false;
};

double JsonNumber(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? 0.0 : std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

Figures Soak(const std::string& tool, const std::string& module, const std::filesystem::path& dir,
             double minutes) {
    Figures figures;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return figures;
    const std::string out = (dir / "soak-out.wav").string();
    const std::string json = (dir / "soak.json").string();
    const std::string plot = (dir / "soak.png").string();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[0], STDIN_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        execl(tool.c_str(), tool.c_str(), "-", out.c_str(), "--module", module.c_str(), "--param",
              "Threshold=-24", "--param", "Ratio=6", "--param", "Attack=2", "--param",
              "Release=120", "--param", "Gain=9", "--json", json.c_str(), "--plot", plot.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[0]);
    const StereoSignal loop = MakeDemoSignal(kRate, kLoopSeconds);
    std::string block;
    for (std::size_t i = 0; i < loop.left.size(); ++i)
        for (const double v : {loop.left[i], loop.right[i]})
            PutLE(block, static_cast<uint32_t>(static_cast<int16_t>(std::lround(v * 32767.0))), 2);
    const std::string header = WavHeader();
    bool fed = WriteAll(pipeFds[1], header.data(), header.size());
    const auto loops = static_cast<long>(std::ceil(minutes * 60.0 / kLoopSeconds));
    for (long i = 0; fed && i < loops; ++i)
        fed = WriteAll(pipeFds[1], block.data(), block.size());
    close(pipeFds[1]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return figures;
    std::stringstream text;
    text << std::ifstream(json).rdbuf();
    figures.peakKiB = usage.ru_maxrss;
    figures.realtime = JsonNumber(text.str(), "realtime_factor");
    figures.ok = fed && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                 std::fabs(JsonNumber(text.str(), "seconds") -
                           static_cast<double>(loops) * kLoopSeconds) < 1e-6;
    std::filesystem::remove(out);
    return figures;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s QUELOR_RENDER MODULE WORKDIR MINUTES...\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const std::filesystem::path dir = argv[3];
    std::filesystem::create_directories(dir);
    std::vector<Figures> all;
    std::vector<double> lengths;
    bool ok = true;
    std::printf("%10s %14s %14s\n", "minutes", "peak RSS MiB", "real time x");
    for (int i = 4; i < argc; ++i) {
        const double minutes = std::atof(argv[i]);
        const Figures f = Soak(argv[1], argv[2], dir, minutes);
        std::printf("%10.1f %14.1f %14.1f%s\n", minutes, static_cast<double>(f.peakKiB) / 1024.0,
                    f.realtime, f.ok ? "" : "   render FAILED");
        std::fflush(stdout);
        ok = ok && f.ok && f.peakKiB < kLimitKiB;
        all.push_back(f);
        lengths.push_back(minutes);
    }
    const auto [low, high] = std::minmax_element(
        all.begin(), all.end(), [](auto& a, auto& b) { return a.peakKiB < b.peakKiB; });
    const long growth = high->peakKiB - low->peakKiB;
    const auto [shortest, longest] = std::minmax_element(lengths.begin(), lengths.end());
    const double allowed =
        static_cast<double>(kGrowthKiB) + kLoudnessKiBPerHour * (*longest - *shortest) / 60.0;
    std::printf(
        "peak RSS spread across lengths: %.2f MiB (limit %.0f MiB, spread allowed %.1f MiB)\n",
        static_cast<double>(growth) / 1024.0, static_cast<double>(kLimitKiB) / 1024.0,
        allowed / 1024.0);
    ok = ok && static_cast<double>(growth) < allowed;
    std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
    return ok ? 0 : 1;
}
