#include "CLAPInstance.h"

#include "CLAPTestStreams.h"
#include "SharedLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

const clap_plugin_entry_t& QuelorCLAPEntry() {
    // QUELOR_CLAP names another build of the module, such as an unpacked release's.
    static const char* other = std::getenv("QUELOR_CLAP");
    static const std::string path =
        SharedLibrary::NativePath(other && *other ? other : QUELOR_CLAP_PATH);
    static const SharedLibrary library(path);
    // The symbol is the entry record itself, not a pointer to it; init takes the path the
    // way this platform names the file.
    static const auto* entry =
        static_cast<const clap_plugin_entry_t*>(library.Symbol("clap_entry"));
    static const bool ready = entry && entry->init(path.c_str());
    if (!ready) {
        std::fprintf(stderr, "Quelor.clap did not load from %s: %s\n", path.c_str(),
                     library.Error().c_str());
        std::abort();
    }
    return *entry;
}

const clap_plugin_factory_t& QuelorCLAPFactory() {
    return *static_cast<const clap_plugin_factory_t*>(
        QuelorCLAPEntry().get_factory(CLAP_PLUGIN_FACTORY_ID));
}

namespace {
template <class T> const T* Extension(const clap_plugin_t* plugin, const char* id) {
    return static_cast<const T*>(plugin->get_extension(plugin, id));
}
} // namespace

CLAPInstance::CLAPInstance(CLAPHostExtensions extensions)
    : host(extensions), plugin(QuelorCLAPFactory().create_plugin(&QuelorCLAPFactory(), host.Host(),
                                                                 "com.brovane.quelor")) {
    if (!plugin || !plugin->init(plugin))
        std::abort();
    params = Extension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
    state = Extension<clap_plugin_state_t>(plugin, CLAP_EXT_STATE);
    ports = Extension<clap_plugin_audio_ports_t>(plugin, CLAP_EXT_AUDIO_PORTS);
    gui = Extension<clap_plugin_gui_t>(plugin, CLAP_EXT_GUI);
}

CLAPInstance::~CLAPInstance() {
    host.SetMainThread(std::this_thread::get_id());
    Stop();
    plugin->destroy(plugin);
}

bool CLAPInstance::Start(double rate, uint32_t maxFrames) {
    Stop();
    host.SetAudioThread(std::this_thread::get_id());
    active = plugin->activate(plugin, rate, 1, maxFrames);
    processing = active && plugin->start_processing(plugin);
    return processing;
}

void CLAPInstance::Stop() {
    if (processing)
        plugin->stop_processing(plugin);
    if (active)
        plugin->deactivate(plugin);
    processing = active = false;
}

double CLAPInstance::Value(clap_id id) const {
    double value = -1.0e300;
    params->get_value(plugin, id, &value);
    return value;
}

std::string CLAPInstance::Text(clap_id id, double value) const {
    char text[256] = {};
    return params->value_to_text(plugin, id, value, text, sizeof text) ? text : "(none)";
}

std::vector<uint8_t> CLAPInstance::Save() const {
    CLAPOStream stream;
    return state->save(plugin, stream.Stream()) ? stream.Bytes() : std::vector<uint8_t>{};
}
