#pragma once

#include "RenderJob.h"

#include <cstdio>
#include <string>
#include <vector>

// What a render did, for people (text) and for scripts (JSON).
struct RenderSetup {
    std::string version; // the render tool's
    std::string plugin;
    std::string module;
    struct Setting {
        std::string name;
        std::string shown; // the display text with its label
        float normalized;  // the value the plug-in holds
    };
    std::vector<Setting> settings;
    int block = 0;
    bool useDouble = false;
};

// The summary of one render, several lines.
void PrintSummary(std::FILE* out, const RenderSetup& setup, const RenderSummary& summary);
// One line for a file of a batch as it completes: "[2/5] in -> out  ..." or why it failed.
std::string BatchLine(std::size_t number, std::size_t count, const RenderSummary& summary);
// The table of a batch, one row per file, and a last line that counts the failures.
void PrintBatchTable(std::FILE* out, const std::vector<RenderSummary>& summaries, double seconds);

// The summary of one render, or of a batch ({"files": [...]}) when batch is set.
std::string SummaryJson(const RenderSetup& setup, const std::vector<RenderSummary>& summaries,
                        bool batch);
// What a render that failed before it started leaves for scripts: {"error": message}.
std::string ErrorJson(const std::string& message);
