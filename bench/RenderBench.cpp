// quelor-render against sox on the same file: minutes of 48 kHz 24-bit stereo pink noise
// (made by sox), compressed by quelor-render with its loudness figures, by quelor-render
// with --no-loudness, and by sox's compand, in rounds whose order rotates so that each
// command meets the machine's moods alike. Prints each run's wall and CPU seconds with the
// load beside it, the medians, and the ratios to sox (medians of each round's ratios).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr double kDefaultMinutes = 10.0;
constexpr int kDefaultRounds = 3;

struct Command {
    std::string name;
    std::vector<std::string> arguments;
};

struct Run {
    double wall = 0.0;
    double cpu = 0.0;
    double load = 0.0;
    bool ok = false;
};

double LoadAverage() {
    double load = 0.0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

// The command with its output thrown away; wall time, and the CPU time of its process.
Run Time(const Command& command) {
    Run run;
    run.load = LoadAverage();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : command.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s QUELOR_RENDER MODULE WORKDIR [MINUTES [ROUNDS]]\n",
                     argv[0]);
        return 2;
    }
    const std::string tool = argv[1];
    const std::string module = argv[2];
    const std::filesystem::path dir = argv[3];
    const double minutes = argc > 4 ? std::atof(argv[4]) : kDefaultMinutes;
    const int rounds = argc > 5 ? std::atoi(argv[5]) : kDefaultRounds;
    std::filesystem::create_directories(dir);
    char name[64];
    std::snprintf(name, sizeof name, "pink-%gmin.wav", minutes);
    const std::string in = (dir / name).string();
    if (!std::filesystem::exists(in)) {
        // Two noises, one per channel: stereo that is not mono in disguise.
        const Run made = Time({"sox",
                               {"sox", "-n", "-r", "48000", "-b", "24", "-c", "2", in, "synth",
                                std::to_string(minutes * 60.0), "pinknoise", "pinknoise"}});
        if (!made.ok) {
            std::fprintf(stderr, "cannot make %s with sox (scripts/install-deps --sox)\n",
                         in.c_str());
            std::filesystem::remove(in);
            return 1;
        }
    }
    const std::vector<std::string> settings = {"--module",      module,    "--param",
                                               "Threshold=-20", "--param", "Ratio=4"};
    std::vector<Command> commands = {
        {"quelor-render", {tool, in, (dir / "out-render.wav").string()}},
        {"quelor-render --no-loudness",
         {tool, in, (dir / "out-no-loudness.wav").string(), "--no-loudness"}},
        {"sox compand",
         {"sox", in, (dir / "out-sox.wav").string(), "compand", "0.001,0.1", "-20,-20,0,-15", "0",
          "-90", "0"}}};
    for (std::size_t c = 0; c < 2; ++c)
        commands[c].arguments.insert(commands[c].arguments.end(), settings.begin(), settings.end());
    const std::size_t sox = commands.size() - 1;

    std::printf("%g minutes of 48 kHz 24-bit stereo pink noise, %d rounds\n", minutes, rounds);
    std::vector<std::vector<Run>> runs(commands.size());
    bool ok = true;
    for (int round = 0; round < rounds; ++round)
        for (std::size_t k = 0; k < commands.size(); ++k) {
            const std::size_t c = (k + static_cast<std::size_t>(round)) % commands.size();
            const Run run = Time(commands[c]);
            std::printf("round %d  %-28s wall %6.2f s  CPU %6.2f s  (load %.2f)%s\n", round + 1,
                        commands[c].name.c_str(), run.wall, run.cpu, run.load,
                        run.ok ? "" : "  FAILED");
            std::fflush(stdout);
            ok = ok && run.ok;
            runs[c].push_back(run);
        }
    std::printf("\n%-28s %10s %10s %12s %12s\n", "median", "wall s", "CPU s", "wall / sox",
                "CPU / sox");
    for (std::size_t c = 0; c < commands.size(); ++c) {
        std::vector<double> wall, cpu, wallRatio, cpuRatio;
        for (std::size_t r = 0; r < runs[c].size(); ++r) {
            wall.push_back(runs[c][r].wall);
            cpu.push_back(runs[c][r].cpu);
            wallRatio.push_back(runs[c][r].wall / runs[sox][r].wall);
            cpuRatio.push_back(runs[c][r].cpu / runs[sox][r].cpu);
        }
        std::printf("%-28s %10.2f %10.2f %11.2fx %11.2fx\n", commands[c].name.c_str(), Median(wall),
                    Median(cpu), Median(wallRatio), Median(cpuRatio));
    }
    for (const Command& command : commands)
        std::filesystem::remove(command.arguments[2]);
    return ok ? 0 : 1;
}
