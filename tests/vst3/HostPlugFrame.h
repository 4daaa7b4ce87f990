#pragma once

#include "HostObject.h"
#include "HostRunLoop.h"
#include "VST3View.h"

// The host's frame around a view. A resize the view asks for is given to the view's
// onSize before resizeView returns, as hosts do. Queried for the run loop, it hands over
// the one it was given, if any.
class HostPlugFrame final : public HostObject<vst3::IPlugFrame> {
public:
    explicit HostPlugFrame(HostRunLoop* runLoop);

    vst3::tresult PLUGIN_API resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) override;

protected:
    vst3::tresult Query(const char* iid, void** obj) override;

private:
    HostRunLoop* runLoop;
};
