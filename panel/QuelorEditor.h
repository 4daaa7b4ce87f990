#pragma once

#include "IEditorWindow.h"
#include "IEffectParameters.h"
#include "IGraphicsWindow.h"

// The Quelor panel in the plug-in's own binary: the editor window over the effect's own
// parameters, with the size and window a host adapter asks for. The parameter link is the
// first base, so it is whole before the drawing context that uses it.
class QuelorEditor final : private IEffectParameters,
                           public IGraphicsWindow,
                           public IEditorWindow {
public:
    QuelorEditor(IEffectBase& effect, int panelWidth, int panelHeight, int framesPerSecond,
                 RAS_ModuleHandle images)
        : IEffectParameters(effect),
          IGraphicsWindow(this, panelWidth, panelHeight, framesPerSecond, images) {}

    int EditorWidth() const override { return Width(); }
    int EditorHeight() const override { return Height(); }
    void* OpenEditorWindow(void* parentWindow) override {
        return IGraphicsWindow::OpenEditorWindow(parentWindow);
    }
    void CloseEditorWindow() override { IGraphicsWindow::CloseEditorWindow(); }
    void IdleEditor() override { EditorIdle(); }
    int EventDescriptor() const override { return IGraphicsWindow::EventDescriptor(); }
};
