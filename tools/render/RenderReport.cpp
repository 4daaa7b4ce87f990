#include "RenderReport.h"

#include <cmath>
#include <filesystem>

namespace {
double Speed(const RenderSummary& s) {
    return s.taken > 0.0 ? s.seconds / s.taken : 0.0;
}

// v with one decimal (two for gains), a sign when asked for; "-inf" where too quiet to
// measure, "-" where not measured (NaN).
std::string Fixed(double v, bool sign = false, int decimals = 1) {
    if (std::isnan(v))
        return "-";
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

// The length of the well-formed UTF-8 sequence at text[at], or 0 where there is none
// (a stray continuation byte, a sequence cut short, an overlong form, a surrogate,
// anything past U+10FFFF).
std::size_t Utf8Length(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
    const unsigned lead = byte(at);
    const unsigned second = byte(at + 1);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continues(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const bool fits = (lead != 0xE0 || second >= 0xA0) && (lead != 0xED || second < 0xA0);
        return fits && continues(at + 1) && continues(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const bool fits = (lead != 0xF0 || second >= 0x90) && (lead != 0xF4 || second < 0x90);
        return fits && continues(at + 1) && continues(at + 2) && continues(at + 3) ? 4 : 0;
    }
    return 0;
}

// A JSON string. File names and plug-in texts need not be UTF-8: each byte that is not
// part of a well-formed sequence becomes U+FFFD, so that the JSON stays valid.
std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const std::size_t length = Utf8Length(text, at);
        if (length == 0) {
            quoted += "\\ufffd";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted.append(text, at, length);
        }
        at += length;
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

// Nine digits: enough to give back the very float.
std::string FloatNumber(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    return std::isfinite(v) ? text : "null";
}

std::string LoudnessJson(const RenderSummary& s, const Loudness& l) {
    if (!s.loudnessMeasured)
        return "null";
    return "{\"integrated_lufs\": " + Number(l.integratedLufs) +
           ", \"range_lu\": " + Number(l.rangeLu) +
           ", \"true_peak_dbtp\": " + Number(l.truePeakDb) + "}";
}

// How a mono file's loudness was read, or null for other widths.
const char* MonoReading(const RenderSummary& s) {
    return s.channels != 1 ? nullptr : s.dualMono ? "dual mono" : "single channel";
}

// A largest cut or boost: "none" where no window went that way.
std::string Extreme(double db) {
    return db == 0.0 ? "none" : Fixed(db, true, 2);
}

std::string LevelsJson(const Levels& l) {
    return "{\"peak_dbfs\": " + Number(l.peakDb) + ", \"rms_dbfs\": " + Number(l.rmsDb) + "}";
}

std::string FileJson(const RenderSummary& s, const std::string& indent) {
    std::string json = indent + "\"input\": " + (s.in.empty() ? "null" : Quote(s.in)) + ",\n";
    json += indent + "\"output\": " + Quote(s.out) + ",\n";
    if (!s.error.empty())
        return json + indent + "\"error\": " + Quote(s.error) + "\n";
    std::string warnings;
    for (const std::string& warning : s.warnings)
        warnings += (warnings.empty() ? "" : ", ") + Quote(warning);
    if (!s.loudnessRefusal.empty())
        warnings += (warnings.empty() ? "" : ", ") + Quote("no loudness: " + s.loudnessRefusal);
    json += indent + "\"warnings\": [" + warnings + "],\n";
    json += indent + "\"seconds\": " + Number(s.seconds) + ",\n";
    json += indent + "\"channels\": " + std::to_string(s.channels) + ",\n";
    json += indent + "\"sample_rate\": " + Number(s.rate) + ",\n";
    json += indent +
            "\"resampled_from_hz\": " + (s.resampledFrom > 0.0 ? Number(s.resampledFrom) : "null") +
            ",\n";
    json += indent + "\"sidechain_resampled_from_hz\": " +
            (s.sideResampledFrom > 0.0 ? Number(s.sideResampledFrom) : "null") + ",\n";
    json += indent + "\"input_levels\": " + LevelsJson(s.inLevels) + ",\n";
    json += indent + "\"output_levels\": " + LevelsJson(s.outLevels) + ",\n";
    json +=
        indent + "\"output_peak_before_clipping_dbfs\": " + Number(s.peakBeforeClippingDb) + ",\n";
    json += indent + "\"output_encoding\": " + Quote(EncodingName(s.format)) + ",\n";
    json += indent + "\"output_quality\": " + Number(s.quality) + ",\n";
    json += indent + "\"dither\": " + (s.dithered ? "\"tpdf\"" : "\"none\"") + ",\n";
    json += indent + "\"clipped_samples\": " + std::to_string(s.clipped) + ",\n";
    json += indent + "\"loudness_measured\": " + (s.loudnessMeasured ? "true" : "false") + ",\n";
    json += indent + "\"input_loudness\": " + LoudnessJson(s, s.inLoudness) + ",\n";
    json += indent + "\"output_loudness\": " + LoudnessJson(s, s.outLoudness) + ",\n";
    json += indent + "\"loudness_change_lu\": " + Number(LoudnessChange(s)) + ",\n";
    const char* mono = MonoReading(s);
    json += indent + "\"loudness_modes\": " +
            (s.loudnessMeasured ? "{\"integrated\": \"exact\", \"range\": \"exact\", \"mono\": " +
                                      (mono ? Quote(mono) : "null") + "}"
                                : "null") +
            ",\n";
    const auto gain = [&](double db) { return s.gain.windows ? Number(db) : "null"; };
    json += indent + "\"gain_change\": {\"measure\": \"output minus input level over 50 ms " +
            "windows, make-up gain included\", \"windows\": " + std::to_string(s.gain.windows) +
            ", \"largest_db\": " + gain(s.gain.largestDb) +
            ", \"largest_cut_db\": " + gain(s.gain.cutDb) +
            ", \"largest_boost_db\": " + gain(s.gain.boostDb) +
            ", \"average_db\": " + gain(s.gain.averageDb) + "},\n";
    json += indent + "\"time_seconds\": " + Number(s.taken) + ",\n";
    json += indent + "\"realtime_factor\": " + Number(Speed(s)) + "\n";
    return json;
}
} // namespace

void PrintSummary(std::FILE* out, const RenderSetup& setup, const RenderSummary& s) {
    std::fprintf(out, "%s: %.2f s, %d channel%s at %.0f Hz, %s, blocks of %d -> %s\n",
                 setup.plugin.c_str(), s.seconds, s.channels, s.channels == 1 ? "" : "s", s.rate,
                 setup.useDouble ? "64-bit" : "32-bit", setup.block, s.out.c_str());
    if (s.resampledFrom > 0.0 || s.sideResampledFrom > 0.0) {
        std::string from;
        for (const auto& [what, rate] : {std::pair{"the input", s.resampledFrom},
                                         std::pair{"the side-chain", s.sideResampledFrom}})
            if (rate > 0.0)
                from += (from.empty() ? "" : ", ") + std::string(what) + " from " +
                        Fixed(rate, false, 0) + " Hz";
        std::fprintf(out, "resampled to %.0f Hz (libsoxr): %s%s\n", s.rate, from.c_str(),
                     s.resampledFrom > 0.0 ? "; the input's figures are of what the plug-in hears"
                                           : "");
    }
    std::fprintf(out, "input:   peak %7.2f dBFS   RMS %7.2f dBFS\n", s.inLevels.peakDb,
                 s.inLevels.rmsDb);
    const std::string unclipped =
        s.clipped ? "   (before clipping " + Fixed(s.peakBeforeClippingDb, true, 2) + ")" : "";
    std::fprintf(out, "output:  peak %7.2f dBFS   RMS %7.2f dBFS%s\n", s.outLevels.peakDb,
                 s.outLevels.rmsDb, unclipped.c_str());
    std::string written = EncodingName(s.format);
    if (!std::isnan(s.quality))
        written += ", quality " + Fixed(s.quality);
    if (s.dithered)
        written += ", TPDF dither";
    if (s.clipped)
        written += ", " + std::to_string(s.clipped) + " samples clipped";
    std::fprintf(out, "written: %s\n", written.c_str());
    const double change = LoudnessChange(s);
    if (!s.loudnessMeasured) {
        std::fprintf(out, "loudness: not measured (--no-loudness)\n");
    } else {
        for (const auto& [side, l] : {std::pair{"in: ", s.inLoudness}, {"out:", s.outLoudness}})
            std::fprintf(out, "loudness %s %6s LUFS   range %5s LU   true peak %6s dBTP\n", side,
                         Fixed(l.integratedLufs).c_str(), Fixed(l.rangeLu).c_str(),
                         Fixed(l.truePeakDb).c_str());
        if (std::isfinite(change))
            std::fprintf(out, "loudness change: %+.1f LU\n", change);
        else
            std::fprintf(out, "loudness change: none measured (%s)\n",
                         s.loudnessRefusal.empty() ? "too quiet or too short"
                                                   : s.loudnessRefusal.c_str());
        const char* mono = MonoReading(s);
        std::fprintf(out,
                     "loudness read: integrated and range in libebur128's exact mode (every "
                     "block kept)%s%s\n",
                     mono ? "; mono as " : "",
                     !mono        ? ""
                     : s.dualMono ? "dual mono (EBU, +3 dB)"
                                  : "a single channel (ITU-R BS.1770)");
    }
    const char* gainChange = "gain change (output minus input level, make-up gain included)";
    const auto dB = [](double db) {
        const std::string shown = Extreme(db);
        return shown == "none" ? shown : shown + " dB";
    };
    if (s.gain.windows)
        std::fprintf(out, "%s: largest cut %s, largest boost %s, average %+.2f dB\n", gainChange,
                     dB(s.gain.cutDb).c_str(), dB(s.gain.boostDb).c_str(), s.gain.averageDb);
    else
        std::fprintf(out, "%s: none measured (input too quiet)\n", gainChange);
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
    std::fprintf(out, "%-28s %9s %8s %8s %7s %8s %8s %8s %8s %8s\n", "file", "seconds", "in LUFS",
                 "out LUFS", "change", "out dBTP", "cut dB", "boost dB", "avg dB", "speed");
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
        const auto gain = [&](const std::string& shown) { return s.gain.windows ? shown : "-"; };
        std::fprintf(out, "%-28s %9.2f %8s %8s %7s %8s %8s %8s %8s %7.1fx\n", name.c_str(),
                     s.seconds, Fixed(s.inLoudness.integratedLufs).c_str(),
                     Fixed(s.outLoudness.integratedLufs).c_str(),
                     std::isfinite(change) ? Fixed(change, true).c_str() : "-",
                     Fixed(s.outLoudness.truePeakDb).c_str(), gain(Extreme(s.gain.cutDb)).c_str(),
                     gain(Extreme(s.gain.boostDb)).c_str(),
                     gain(Fixed(s.gain.averageDb, true, 2)).c_str(), Speed(s));
    }
    std::fprintf(out, "cut, boost, avg: the largest cut and boost and the average of the gain "
                      "change (output minus input level, make-up gain included)\n");
    std::fprintf(out, "%zu of %zu rendered, %zu failed, in %.2f s\n", summaries.size() - failed,
                 summaries.size(), failed, seconds);
}

std::string SummaryJson(const RenderSetup& setup, const std::vector<RenderSummary>& summaries,
                        bool batch) {
    std::string json = "{\n  \"quelor_render_version\": " + Quote(setup.version) + ",\n";
    json += "  \"plugin\": " + Quote(setup.plugin) + ",\n";
    json += "  \"module\": " + Quote(setup.module) + ",\n";
    json += "  \"precision_bits\": " + std::string(setup.useDouble ? "64" : "32") + ",\n";
    json += "  \"block\": " + std::to_string(setup.block) + ",\n";
    // The display texts round; the normalized values are what the plug-in holds.
    std::string shown, normalized;
    for (const RenderSetup::Setting& setting : setup.settings) {
        shown += (shown.empty() ? "" : ", ") + Quote(setting.name) + ": " + Quote(setting.shown);
        normalized += (normalized.empty() ? "" : ", ") + Quote(setting.name) + ": " +
                      FloatNumber(setting.normalized);
    }
    json += "  \"settings\": {" + shown + "},\n";
    json += "  \"normalized\": {" + normalized + "},\n";
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

std::string ErrorJson(const std::string& message) {
    return "{\n  \"error\": " + Quote(message) + "\n}\n";
}
