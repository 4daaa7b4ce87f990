#include "PluginModule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

PluginModule& PluginModule::Get() {
    static PluginModule module;
    return module;
}

PluginModule::PluginModule() {
    // QUELOR_MODULE names another build of the module, such as an unpacked release's.
    const char* other = std::getenv("QUELOR_MODULE");
    const std::string path = other && *other ? other : QUELOR_MODULE_PATH;
    if (!library.Open(path)) {
        ADD_FAILURE() << "cannot open " << path << ": " << library.Error();
        std::abort();
    }
    // As a host keeps a module while an effect of it may be open: to the process's end.
    library.KeepLoaded();
    pluginMain = library.FunctionNamed<Entry>("VSTPluginMain");
    mainAlias = library.FunctionNamed<Entry>("main");
}

PluginInstance::PluginInstance(PluginModule::Entry entry, audioMasterCallback host)
    : effect(entry(host)) {}

PluginInstance::~PluginInstance() {
    Close();
}

void PluginInstance::Close() {
    if (effect)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
}

intptr_t PluginInstance::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginInstance::OpenLikeHost(float sampleRate, intptr_t blockSize) const {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
}

std::string PluginInstance::Text(int32_t opcode, int32_t index) const {
    char text[256] = {};
    Dispatch(opcode, index, 0, text);
    return text;
}

AudioThread::AudioThread(const PluginInstance& plug, int block, std::chrono::microseconds pause)
    : thread([this, &plug, block, pause] {
          const auto frames = static_cast<std::size_t>(block);
          std::vector<float> in(frames, 0.25f), out0(frames), out1(frames);
          float* inputs[4] = {in.data(), in.data(), in.data(), in.data()};
          float* outputs[2] = {out0.data(), out1.data()};
          while (!done) {
              plug.Record()->processReplacing(plug.Record(), inputs, outputs, block);
              for (float sample : out0)
                  if (!std::isfinite(sample))
                      finite = false;
              std::this_thread::sleep_for(pause);
          }
      }) {}

bool AudioThread::Stop() {
    done = true;
    if (thread.joinable())
        thread.join();
    return finite;
}
