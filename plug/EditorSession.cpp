#include "EditorSession.h"

#include "IEffectBase.h"

bool EditorSession::Offered(int* width, int* height) const {
    return plug.EditorSize(width, height);
}

bool EditorSession::Create() {
    return plug.EnsureEditor() != nullptr;
}

IEditorWindow* EditorSession::Window() const {
    return plug.EditorWindow();
}

bool EditorSession::Open(void* parent, const void* owner) {
    IEditorWindow* window = plug.EnsureEditor();
    if ((open && owner != openedBy) || !parent || !window)
        return false;
    // The owner's second open moves the window into the new parent.
    const bool reopened = open;
    if (!window->OpenEditorWindow(parent))
        return false;
    if (reopened)
        return true;
    open = true;
    openedBy = owner;
    return true;
}

void EditorSession::Close(const void* owner) {
    if (!open || owner != openedBy)
        return;
    open = false;
    openedBy = nullptr;
    if (IEditorWindow* window = plug.EditorWindow())
        window->CloseEditorWindow();
}

void EditorSession::Idle() {
    if (IEditorWindow* window = plug.EditorWindow(); window && open)
        window->IdleEditor();
}
