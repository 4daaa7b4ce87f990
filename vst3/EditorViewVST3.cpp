#include "EditorViewVST3.h"

#include "IEffectVST3.h"

#include <cstring>

using namespace vst3;

EditorViewVST3::EditorViewVST3(IEffectVST3& owner) : plug(owner) {
    plug.addRef();
}

EditorViewVST3::~EditorViewVST3() {
    Close();
    setFrame(nullptr);
    plug.release();
}

tresult PLUGIN_API EditorViewVST3::queryInterface(const TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (SameUid(iid, FUnknown::kIid) || SameUid(iid, IPlugView::kIid))
        *obj = static_cast<IPlugView*>(this);
    else if (SameUid(iid, IPlugViewContentScaleSupport::kIid))
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32_t PLUGIN_API EditorViewVST3::addRef() {
    return ++references;
}

uint32_t PLUGIN_API EditorViewVST3::release() {
    const uint32_t count = --references;
    if (count == 0)
        delete this;
    return count;
}

// Built first, on the UI thread, so that the size is the one a restored view gives.
ViewRect EditorViewVST3::PanelRect() const {
    int width = 0;
    int height = 0;
    EditorSession& editor = plug.Runtime().Editor();
    editor.Create();
    editor.Offered(&width, &height);
    return {0, 0, width, height};
}

tresult PLUGIN_API EditorViewVST3::isPlatformTypeSupported(FIDString type) {
    plug.Threads().Expect(VST3Call::kViewIsPlatformTypeSupported);
    return type && std::strcmp(type, EditorIdleVST3::PlatformType()) == 0 ? kResultTrue
                                                                          : kResultFalse;
}

// The effect's one editor shows in one view at a time: a second view is refused while the
// first shows it.
tresult PLUGIN_API EditorViewVST3::attached(void* parent, FIDString type) {
    plug.Threads().Expect(VST3Call::kViewAttached);
    EditorSession& editor = plug.Runtime().Editor();
    if (open || !parent || isPlatformTypeSupported(type) != kResultTrue || editor.IsOpen() ||
        !editor.Create())
        return kResultFalse;
    if (!idle.Prepare(frame, plug.FactoryContext()) || !editor.Open(parent, this)) {
        idle.Stop();
        return kResultFalse;
    }
    idle.Start(*editor.Window());
    open = true;
    plug.SetShownView(this);
    return kResultOk;
}

tresult PLUGIN_API EditorViewVST3::removed() {
    plug.Threads().Expect(VST3Call::kViewRemoved);
    if (!open)
        return kResultFalse;
    Close();
    return kResultOk;
}

void EditorViewVST3::Close() {
    if (!open)
        return;
    open = false;
    plug.SetShownView(nullptr);
    idle.Stop();
    plug.Runtime().Editor().Close(this);
}

tresult PLUGIN_API EditorViewVST3::getSize(ViewRect* size) {
    plug.Threads().Expect(VST3Call::kViewGetSize);
    if (!size)
        return kInvalidArgument;
    *size = PanelRect();
    return kResultOk;
}

tresult PLUGIN_API EditorViewVST3::onSize(ViewRect* newSize) {
    plug.Threads().Expect(VST3Call::kViewOnSize);
    if (!newSize)
        return kInvalidArgument;
    return plug.Runtime().Editor().SetSize(newSize->right - newSize->left,
                                           newSize->bottom - newSize->top)
               ? kResultOk
               : kResultFalse;
}

tresult PLUGIN_API EditorViewVST3::setFrame(IPlugFrame* newFrame) {
    plug.Threads().Expect(VST3Call::kViewSetFrame);
    if (newFrame)
        newFrame->addRef();
    if (frame)
        frame->release();
    frame = newFrame;
    return kResultOk;
}

tresult PLUGIN_API EditorViewVST3::checkSizeConstraint(ViewRect* rect) {
    plug.Threads().Expect(VST3Call::kViewCheckSizeConstraint);
    if (!rect)
        return kInvalidArgument;
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    if (!plug.Runtime().Editor().AdjustSize(&width, &height))
        return kResultFalse;
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return kResultTrue;
}

tresult PLUGIN_API EditorViewVST3::setContentScaleFactor(ScaleFactor factor) {
    plug.Threads().Expect(VST3Call::kViewSetContentScaleFactor);
    if (!plug.Runtime().Editor().SetScale(static_cast<double>(factor)))
        return kResultFalse;
    // Before attached the host reads the scaled size from getSize.
    if (open)
        FollowPanelSize();
    return kResultTrue;
}

bool EditorViewVST3::FollowPanelSize() {
    ViewRect size = PanelRect();
    return frame && frame->resizeView(this, &size) == kResultTrue;
}
