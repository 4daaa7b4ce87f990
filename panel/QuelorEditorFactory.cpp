#include "QuelorEditorFactory.h"

#include "IGraphicsWindow.h"
#include "ModuleInstance.h"
#include "Quelor.h"
#include "QuelorEditor.h"

namespace {

IEditorLink* BuildQuelorEditor(IEffectBase& effect) {
    // Inside a plug-in module the images are its resources; a program that links the
    // effect directly carries them itself.
    const RAS_ModuleHandle module = ModuleInstance() ? ModuleInstance() : RAS_OwnModule();
    return new QuelorEditor(static_cast<Quelor&>(effect), kQuelorPanelWidth, kQuelorPanelHeight,
                            kQuelorPanelFps, module);
}

constexpr IEditorFactory kFactory{kQuelorPanelWidth, kQuelorPanelHeight, BuildQuelorEditor,
                                  &IGraphicsWindow::SystemScale};

} // namespace

const IEditorFactory& QuelorEditorFactory() {
    return kFactory;
}
