#include "HostPlugFrame.h"

using namespace vst3;

HostPlugFrame::HostPlugFrame(HostRunLoop* loop) : HostObject("plug frame"), runLoop(loop) {}

tresult PLUGIN_API HostPlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
    if (!view || !newSize)
        return kInvalidArgument;
    // The host's own copy of the size, as a host passes its window's rectangle.
    ViewRect size = *newSize;
    return view->onSize(&size);
}

tresult HostPlugFrame::Query(const char* iid, void** obj) {
    if (runLoop && SameUid(iid, Linux::IRunLoop::kIid))
        return runLoop->queryInterface(iid, obj);
    return HostObject::Query(iid, obj);
}
