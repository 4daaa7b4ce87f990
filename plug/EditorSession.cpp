#include "EditorSession.h"

#include "IEffectBase.h"
#include "PanelScale.h"

#include <cmath>

using PanelScale::Pixels;

bool EditorSession::Offered(int* width, int* height) const {
    int w = 0;
    int h = 0;
    if (!plug.EditorSize(&w, &h))
        return false;
    // A built editor may follow its window system's scale on its own.
    const IEditorWindow* window = plug.EditorWindow();
    const double scale = window ? window->EditorScale() : Scale();
    *width = Pixels(w, scale);
    *height = Pixels(h, scale);
    return true;
}

bool EditorSession::UnscaledSize(int* width, int* height) const {
    return plug.EditorSize(width, height);
}

double EditorSession::Scale() const {
    if (chosen > 0.0)
        return chosen;
    return system > 0.0 ? system : PanelScale::kMin;
}

bool EditorSession::SetScale(double scale) {
    if (std::isnan(scale))
        return false;
    chosen = PanelScale::Clamped(scale);
    ApplyScale();
    return true;
}

void EditorSession::ApplyScale() {
    if (IEditorWindow* window = plug.EditorWindow())
        window->SetEditorScale(Scale(), ScaleChosen());
}

EditorSession::View EditorSession::SavedView() const {
    if (restorePending)
        return restored;
    const IEditorWindow* window = plug.EditorWindow();
    return {chosen, window && built ? window->EditorOptions() : options};
}

// Hosts may restore on any thread: the view is kept, and reaches the editor on the UI
// thread, when it is built, opened or idled.
void EditorSession::RestoreView(const View& view) {
    restored = view;
    restorePending = true;
}

void EditorSession::ApplyRestoredView() {
    if (!restorePending)
        return;
    restorePending = false;
    options = restored.options;
    if (restored.scale > 0.0)
        chosen = PanelScale::Clamped(restored.scale);
    if (IEditorWindow* window = plug.EditorWindow(); window && built)
        window->SetEditorOptions(options);
}

double EditorSession::ScaleFor(int width, int height) const {
    int w = 0;
    int h = 0;
    return plug.EditorSize(&w, &h) ? PanelScale::ToFit(width, height, w, h) : PanelScale::kMin;
}

bool EditorSession::AdjustSize(int* width, int* height) const {
    int w = 0;
    int h = 0;
    if (!width || !height || !plug.EditorSize(&w, &h))
        return false;
    const double scale = ScaleFor(*width, *height);
    *width = Pixels(w, scale);
    *height = Pixels(h, scale);
    return true;
}

bool EditorSession::SetSize(int width, int height) {
    int w = 0;
    int h = 0;
    return plug.EditorSize(&w, &h) && SetScale(ScaleFor(width, height));
}

// Asked on the UI thread only: the window system may be asked only where the editor uses
// it.
void EditorSession::AskSystemScale() {
    if (system > 0.0)
        return;
    const double asked = plug.SystemEditorScale();
    system = std::isfinite(asked) ? PanelScale::Clamped(asked) : PanelScale::kMin;
}

bool EditorSession::Create() {
    IEditorWindow* window = plug.EnsureEditor();
    if (!window)
        return false;
    AskSystemScale();
    ApplyRestoredView();
    if (!built) {
        built = true;
        window->SetEditorOptions(options);
    }
    ApplyScale();
    return true;
}

IEditorWindow* EditorSession::Window() const {
    return plug.EditorWindow();
}

bool EditorSession::Open(void* parent, const void* owner) {
    if (!Create())
        return false;
    IEditorWindow* window = plug.EditorWindow();
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
    if (restorePending && built) {
        ApplyRestoredView();
        ApplyScale();
    }
    if (IEditorWindow* window = plug.EditorWindow(); window && open)
        window->IdleEditor();
}
