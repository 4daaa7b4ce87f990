#pragma once

#include "IEditorWindowLink.h"
#include "IGraphicsWindow.h"

// The editor window as the VST 2 adapter reaches it: its size and its window.
class QuelorEditor final : public IGraphicsWindow, public IEditorWindowLink {
public:
    using IGraphicsWindow::IGraphicsWindow;

    int EditorWidth() const override { return Width(); }
    int EditorHeight() const override { return Height(); }
    void* OpenEditorWindow(void* parentWindow) override {
        return IGraphicsWindow::OpenEditorWindow(parentWindow);
    }
    void CloseEditorWindow() override { IGraphicsWindow::CloseEditorWindow(); }
    void IdleEditor() override { EditorIdle(); }
};
