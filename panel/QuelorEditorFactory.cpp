#include "QuelorEditorFactory.h"

#include "ModuleInstance.h"
#include "Quelor.h"
#include "QuelorEditor.h"
#include "QuelorPanel.h"

namespace {

IEditorLink* BuildQuelorEditor(IEffectBase& effect) {
    // Inside a plug-in module the images are its resources; a program that links the
    // effect directly carries them itself.
    const RAS_ModuleHandle module = ModuleInstance() ? ModuleInstance() : RAS_OwnModule();
    auto* panel =
        new QuelorEditor(effect, kQuelorPanelWidth, kQuelorPanelHeight, kQuelorPanelFps, module);
    const QuelorMeterControls meters = LayOutQuelorPanel(*panel);
    static_cast<Quelor&>(effect).SetMeterControls(meters.led, meters.inNeedle, meters.grNeedle,
                                                  meters.outNeedle);
    return panel;
}

constexpr IEditorFactory kFactory{kQuelorPanelWidth, kQuelorPanelHeight, BuildQuelorEditor};

} // namespace

const IEditorFactory& QuelorEditorFactory() {
    return kFactory;
}
