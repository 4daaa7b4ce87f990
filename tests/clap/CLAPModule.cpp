#include "CLAPModule.h"

CLAPModule::CLAPModule(const std::string& file) : path(SharedLibrary::NativePath(file)) {
    if (!library.Open(path)) {
        error = library.Error();
        return;
    }
    // The symbol is the entry record itself, not a pointer to it.
    entry = static_cast<const clap_plugin_entry_t*>(library.Symbol("clap_entry"));
    if (!entry)
        error = path + " exports no clap_entry";
}
