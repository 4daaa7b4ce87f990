#pragma once

#include "ProductVST3.h"

#include <string>

// The bundle's Contents/Resources/moduleinfo.json, which lets a host list the class
// without loading the binary: the same texts as the factory's class info. No
// "Compatibility" entry: VST 2 hosts store Quelor's parameters, not a state to migrate.
std::string ModuleInfoJson(const ProductVST3& product);

// Writes it to path; false, with a message on stderr, when that failed.
bool WriteModuleInfo(const ProductVST3& product, const char* path);
