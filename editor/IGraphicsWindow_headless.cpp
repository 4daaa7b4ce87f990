// The editor without a window system: everything draws into the surface, no window
// opens and there are no native dialogs. Tests and snapshots run on it.
#include "IGraphicsWindow.h"

struct IGraphicsWindow::Platform {};

void IGraphicsWindow::PlatformDeleter::operator()(Platform* state) const {
    delete state;
}

bool IGraphicsWindow::PresentRegion(const IRectangle&) {
    return true;
}

bool IGraphicsWindow::DrawLabel(const ITextStyle&, const char*, const IRectangle&) {
    return false;
}

void IGraphicsWindow::OpenValueEntry(IControl*, const IParameter*) {}

void IGraphicsWindow::HostDirectory(char* out) {
    out[0] = '\0';
}

void IGraphicsWindow::ModuleDirectory(char* out) {
    out[0] = '\0';
}

void IGraphicsWindow::AskForFile(char* out, int, const char*, const char*) {
    out[0] = '\0';
}

bool IGraphicsWindow::AskForColor(IDrawColor*, const char*) {
    return false;
}

bool IGraphicsWindow::OpenLink(const char*, const char*, const char*, const char*) {
    return false;
}

void* IGraphicsWindow::OpenEditorWindow(void*) {
    return nullptr;
}

void IGraphicsWindow::CloseEditorWindow() {}

void* IGraphicsWindow::WindowHandle() {
    return nullptr;
}

void IGraphicsWindow::EditorIdle() {
    TakeReadings();
}

int IGraphicsWindow::EventDescriptor() const {
    return -1;
}

void IGraphicsWindow::ResizeWindow(int, int) {}

double IGraphicsWindow::SystemScale() {
    return 0.0;
}
