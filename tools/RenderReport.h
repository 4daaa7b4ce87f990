#pragma once

#include "RenderJob.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// What a render did, for people (text) and for scripts (JSON).
struct RenderSetup {
    std::string plugin;
    std::string module;
    std::vector<std::pair<std::string, std::string>> settings; // name, display text with label
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
