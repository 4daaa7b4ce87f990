#pragma once

#include "PluginHost.h"

#include <cstdint>
#include <string>
#include <vector>

// Program files (.fxp) as hosts exchange them: big-endian, 'CcnK' then either
// a list of normalized parameter values ('FxCk') or an opaque chunk ('FPCh').

// Main thread. The plug-in's current program as file bytes: a parameter list,
// or its program chunk when it keeps its state as chunks.
std::vector<uint8_t> MakeFxp(const PluginHost& host);
// Main thread. Applies program file bytes; false with a one-line reason when
// they are malformed or made for another plug-in.
bool ApplyFxp(const PluginHost& host, const std::vector<uint8_t>& bytes, std::string* error);

// Whole-file helpers; false with a reason on failure.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
