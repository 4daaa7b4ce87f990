#pragma once

#include "IDrawContext.h"

// A drawing context layer without a window: nothing to present, no value entry, no
// dialogs, no text. Test contexts derive from it and override what they watch.
template <class Base> class NoWindowServices : public Base {
public:
    using Base::Base;

    bool PresentRegion(const IRectangle&) override { return true; }
    bool DrawLabel(const ITextStyle&, const char*, const IRectangle&) override { return false; }
    void OpenValueEntry(IControl*, const IParameter*) override {}
    void HostDirectory(char* out) override { out[0] = '\0'; }
    void ModuleDirectory(char* out) override { out[0] = '\0'; }
    void AskForFile(char* out, int, const char*, const char*) override { out[0] = '\0'; }
    bool AskForColor(IDrawColor*, const char*) override { return false; }
    bool OpenLink(const char*, const char*, const char*, const char*) override { return false; }
    void* OpenEditorWindow(void*) override { return nullptr; }
    void CloseEditorWindow() override {}
    void* WindowHandle() override { return nullptr; }
};
