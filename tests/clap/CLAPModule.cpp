#include "CLAPModule.h"

CLAPModule::CLAPModule(const std::string& file) : path(NativePath(file)) {
    library = Open(path, error);
    if (!library)
        return;
    // The symbol is the entry record itself, not a pointer to it.
    entry = static_cast<const clap_plugin_entry_t*>(Symbol(library, "clap_entry"));
    if (!entry)
        error = path + " exports no clap_entry";
}

CLAPModule::~CLAPModule() {
    if (library)
        Close(library);
}
