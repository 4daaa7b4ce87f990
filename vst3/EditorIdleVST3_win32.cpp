#include "EditorIdleVST3.h"

// The window's own timer paints it; the host needs to offer nothing.
struct EditorIdleVST3::Impl {};

vst3::FIDString EditorIdleVST3::PlatformType() {
    return vst3::kPlatformTypeHWND;
}

EditorIdleVST3::EditorIdleVST3() = default;
EditorIdleVST3::~EditorIdleVST3() = default;

bool EditorIdleVST3::Prepare(vst3::IPlugFrame*, vst3::FUnknown*) {
    return true;
}

void EditorIdleVST3::Start(IEditorWindow&) {}

void EditorIdleVST3::Stop() {}
