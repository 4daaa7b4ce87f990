#pragma once

#include "IEditorWindowLink.h"
#include "IEffectParameters.h"
#include "IGraphicsWindow.h"

// The Quelor panel inside the VST 2 module: the editor window over the plug-in's own
// parameters, with the size and window the adapter asks for. The parameter link is the
// first base, so it is whole before the drawing context that uses it.
class QuelorEditor final : private IEffectParameters,
                           public IGraphicsWindow,
                           public IEditorWindowLink {
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
};
