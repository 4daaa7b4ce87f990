#include "ModuleSearch.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>

namespace {
constexpr const char* kSystemFolders[] = {"/usr/lib/vst", "/usr/local/lib/vst"};

// The folder of the running program: the link in /proc names the file itself, wherever
// it was started from and through whatever link.
std::string ProgramFolder() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? "" : program.parent_path().string();
}
} // namespace

std::vector<std::string> ModuleFolders() {
    std::vector<std::string> folders;
    if (const std::string here = ProgramFolder(); !here.empty())
        folders.push_back(here);
    if (const char* list = std::getenv("VST_PATH")) {
        const std::string paths = list;
        for (std::size_t at = 0; at <= paths.size();) {
            const std::size_t colon = std::min(paths.find(':', at), paths.size());
            if (colon > at)
                folders.push_back(paths.substr(at, colon - at));
            at = colon + 1;
        }
    }
    if (const char* home = std::getenv("HOME"); home && *home)
        folders.push_back(std::string(home) + "/.vst");
    folders.insert(folders.end(), std::begin(kSystemFolders), std::end(kSystemFolders));
    return folders;
}

std::string FindModule(const std::string& fileName) {
    for (const std::string& folder : ModuleFolders()) {
        const std::filesystem::path path = std::filesystem::path(folder) / fileName;
        std::error_code failed;
        if (std::filesystem::is_regular_file(path, failed))
            return path.string();
    }
    return "";
}

std::string ModuleSearchText(const std::string& fileName) {
    return fileName + " beside this program, else in each folder of $VST_PATH, ~/.vst, " +
           kSystemFolders[0] + " and " + kSystemFolders[1];
}
