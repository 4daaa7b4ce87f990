#pragma once

#include <string>
#include <vector>

// Where the tools look for a plug-in module that the command line does not name: beside
// the program itself (where a release archive puts it), then where Linux VST 2 hosts
// look: each folder of $VST_PATH, ~/.vst, /usr/lib/vst and /usr/local/lib/vst.

// The folders, in that order; those whose names cannot be known (no $HOME) are left out.
std::vector<std::string> ModuleFolders();
// The first of them that holds fileName, as a path, or "" when none does.
std::string FindModule(const std::string& fileName);
// Where the search goes, for --help and for the error that nothing was found.
std::string ModuleSearchText(const std::string& fileName);
