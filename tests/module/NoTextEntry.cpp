// Quelor as a plug-in that cannot read parameter texts: the built module behind an entry
// point of its own that answers effString2Parameter with 0, so that the render tool
// falls back on its search over the display texts.
#include "SharedLibrary.h"
#include "VST2Interface.h"

namespace {
AEffectDispatcherProc quelorDispatcher = nullptr;

intptr_t WithoutTexts(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
    if (opcode == effString2Parameter)
        return 0;
    return quelorDispatcher(effect, opcode, index, value, ptr, opt);
}
} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    SharedLibrary quelor(QUELOR_MODULE_PATH);
    // The effect runs in it after this call.
    quelor.KeepLoaded();
    using Entry = AEffect* (*)(audioMasterCallback);
    const auto entry = quelor.FunctionNamed<Entry>("VSTPluginMain");
    AEffect* effect = entry ? entry(host) : nullptr;
    if (effect) {
        quelorDispatcher = effect->dispatcher;
        effect->dispatcher = WithoutTexts;
    }
    return effect;
}
