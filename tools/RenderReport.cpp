#include "RenderReport.h"

#include <cmath>
#include <filesystem>

namespace {
double Speed(const RenderSummary& s) {
    return s.taken > 0.0 ? s.seconds / s.taken : 0.0;
}

// v with one decimal (two for gains), a sign when asked for; "-inf" where not finite.
std::string Fixed(double v, bool sign = false, int decimals = 1) {
    if (!std::isfinite(v))
        return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, v);
    return text;
}

// The change in integrated loudness, or NaN where either side cannot be measured.
double LoudnessChange(const RenderSummary& s) {
    const double in = s.inLoudness.integratedLufs;
    const double out = s.outLoudness.integratedLufs;
    return std::isfinite(in) && std::isfinite(out) ? out - in : std::nan("");
}

std::string Name(const std::string& path) {
    return path.empty() ? "(drum loop)" : path == "-" ? "(stdin)" : path;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string Number(double v) {
    if (!std::isfinite(v))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string LoudnessJson(const Loudness& l) {
    return "{\"integrated_lufs\": " + Number(l.integratedLufs) +
           ", \"range_lu\": " + Number(l.rangeLu) +
           ", \"true_peak_dbtp\": " + Number(l.truePeakDb) + "}";
}

std::string LevelsJson(const Levels& l) {
    return "{\"peak_dbfs\": " + Number(l.peakDb) + ", \"rms_dbfs\": " + Number(l.rmsDb) + "}";
}

std::string FileJson(const RenderSummary& s, const std::string& indent) {
    std::string json = indent + "\"input\": " + (s.in.empty() ? "null" : Quote(s.in)) + ",\n";
    json += indent + "\"output\": " + Quote(s.out) + ",\n";
    if (!s.error.empty())
        return json + indent + "\"error\": " + Quote(s.error) + "\n";
    json += indent + "\"seconds\": " + Number(s.seconds) + ",\n";
    json += indent + "\"channels\": " + std::to_string(s.channels) + ",\n";
    json += indent + "\"sample_rate\": " + Number(s.rate) + ",\n";
    json += indent + "\"input_levels\": " + LevelsJson(s.inLevels) + ",\n";
    json += indent + "\"output_levels\": " + LevelsJson(s.outLevels) + ",\n";
    json += indent + "\"input_loudness\": " + LoudnessJson(s.inLoudness) + ",\n";
    json += indent + "\"output_loudness\": " + LoudnessJson(s.outLoudness) + ",\n";
    json += indent + "\"loudness_change_lu\": " + Number(LoudnessChange(s)) + ",\n";
    json += indent + "\"gain_change\": {\"windows\": " + std::to_string(s.gain.windows) +
            ", \"largest_db\": " + (s.gain.windows ? Number(s.gain.largestDb) : "null") +
            ", \"average_db\": " + (s.gain.windows ? Number(s.gain.averageDb) : "null") + "},\n";
    json += indent + "\"time_seconds\": " + Number(s.taken) + ",\n";
    json += indent + "\"realtime_factor\": " + Number(Speed(s)) + "\n";
    return json;
}
} // namespace

void PrintSummary(std::FILE* out, const RenderSetup& setup, const RenderSummary& s) {
    std::fprintf(out, "%s: %.2f s, %d channel%s at %.0f Hz, %s, blocks of %d -> %s\n",
                 setup.plugin.c_str(), s.seconds, s.channels, s.channels == 1 ? "" : "s", s.rate,
                 setup.useDouble ? "64-bit" : "32-bit", setup.block, s.out.c_str());
    std::fprintf(out, "input:   peak %7.2f dBFS   RMS %7.2f dBFS\n", s.inLevels.peakDb,
                 s.inLevels.rmsDb);
    std::fprintf(out, "output:  peak %7.2f dBFS   RMS %7.2f dBFS\n", s.outLevels.peakDb,
                 s.outLevels.rmsDb);
    for (const auto& [side, l] : {std::pair{"in: ", s.inLoudness}, {"out:", s.outLoudness}})
        std::fprintf(out, "loudness %s %6s LUFS   range %5s LU   true peak %6s dBTP\n", side,
                     Fixed(l.integratedLufs).c_str(), Fixed(l.rangeLu).c_str(),
                     Fixed(l.truePeakDb).c_str());
    const double change = LoudnessChange(s);
    if (std::isfinite(change))
        std::fprintf(out, "loudness change: %+.1f LU\n", change);
    else
        std::fprintf(out, "loudness change: none measured (too quiet or too short)\n");
    if (s.gain.windows)
        std::fprintf(out, "gain change: largest %+.2f dB, average %+.2f dB\n", s.gain.largestDb,
                     s.gain.averageDb);
    else
        std::fprintf(out, "gain change: none measured (input too quiet)\n");
    std::fprintf(out, "time:    %.3f s, %.1fx real time\n", s.taken, Speed(s));
}

std::string BatchLine(std::size_t number, std::size_t count, const RenderSummary& s) {
    char counter[48];
    std::snprintf(counter, sizeof counter, "[%zu/%zu] ", number, count);
    const std::string head = counter + Name(s.in);
    if (!s.error.empty())
        return head + ": failed: " + s.error;
    char rest[160];
    std::snprintf(rest, sizeof rest, " -> %s  %.2f s  %s LUFS  %.1fx", s.out.c_str(), s.seconds,
                  Fixed(s.outLoudness.integratedLufs).c_str(), Speed(s));
    return head + rest;
}

void PrintBatchTable(std::FILE* out, const std::vector<RenderSummary>& summaries, double seconds) {
    std::fprintf(out, "%-28s %9s %8s %8s %7s %8s %8s %8s\n", "file", "seconds", "in LUFS",
                 "out LUFS", "change", "out dBTP", "gain dB", "speed");
    std::size_t failed = 0;
    for (const RenderSummary& s : summaries) {
        std::string name = std::filesystem::path(Name(s.in)).filename().string();
        if (name.size() > 28)
            name = name.substr(0, 25) + "...";
        if (!s.error.empty()) {
            ++failed;
            std::fprintf(out, "%-28s failed: %s\n", name.c_str(), s.error.c_str());
            continue;
        }
        const double change = LoudnessChange(s);
        std::fprintf(out, "%-28s %9.2f %8s %8s %7s %8s %8s %7.1fx\n", name.c_str(), s.seconds,
                     Fixed(s.inLoudness.integratedLufs).c_str(),
                     Fixed(s.outLoudness.integratedLufs).c_str(),
                     std::isfinite(change) ? Fixed(change, true).c_str() : "-",
                     Fixed(s.outLoudness.truePeakDb).c_str(),
                     s.gain.windows ? Fixed(s.gain.averageDb, true, 2).c_str() : "-", Speed(s));
    }
    std::fprintf(out, "%zu of %zu rendered, %zu failed, in %.2f s\n", summaries.size() - failed,
                 summaries.size(), failed, seconds);
}

std::string SummaryJson(const RenderSetup& setup, const std::vector<RenderSummary>& summaries,
                        bool batch) {
    std::string json = "{\n  \"plugin\": " + Quote(setup.plugin) + ",\n";
    json += "  \"module\": " + Quote(setup.module) + ",\n";
    json += "  \"precision_bits\": " + std::string(setup.useDouble ? "64" : "32") + ",\n";
    json += "  \"block\": " + std::to_string(setup.block) + ",\n";
    json += "  \"settings\": {";
    for (std::size_t i = 0; i < setup.settings.size(); ++i) {
        json += i ? ", " : "";
        json += Quote(setup.settings[i].first) + ": " + Quote(setup.settings[i].second);
    }
    json += "},\n";
    if (!batch)
        return json + FileJson(summaries.at(0), "  ") + "}\n";
    std::size_t failed = 0;
    json += "  \"files\": [";
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        if (!summaries[i].error.empty())
            ++failed;
        json += i ? ", {\n" : "{\n";
        json += FileJson(summaries[i], "    ") + "  }";
    }
    return json + "],\n  \"failed\": " + std::to_string(failed) + "\n}\n";
}
