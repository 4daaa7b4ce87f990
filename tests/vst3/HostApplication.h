#pragma once

#include "HostObject.h"
#include "HostRunLoop.h"
#include "VST3Host.h"
#include "VST3View.h"

#include <algorithm>
#include <string_view>
#include <vector>

// A host object that, queried for the run loop, hands over the one it was given, if any,
// as a Linux host's context and frames may.
template <class Interface> class LendsRunLoop : public HostObject<Interface> {
public:
    LendsRunLoop(const char* what, HostRunLoop* loop)
        : HostObject<Interface>(what), runLoop(loop) {}

protected:
    vst3::tresult Query(const char* iid, void** obj) override {
        if (runLoop && vst3::SameUid(iid, vst3::Linux::IRunLoop::kIid))
            return runLoop->queryInterface(iid, obj);
        return HostObject<Interface>::Query(iid, obj);
    }

private:
    HostRunLoop* runLoop;
};

// The context a host passes to initialize and setHostContext: its name; it makes no
// objects on request.
class HostApplication final : public LendsRunLoop<vst3::IHostApplication> {
public:
    explicit HostApplication(HostRunLoop* loop = nullptr)
        : LendsRunLoop("host application", loop) {}

    vst3::tresult PLUGIN_API getName(vst3::String128 text) override {
        if (!text)
            return vst3::kInvalidArgument;
        const std::u16string_view name = u"Quelor Test Host";
        *std::copy(name.begin(), name.end(), text) = u'\0';
        return vst3::kResultOk;
    }
    vst3::tresult PLUGIN_API createInstance(vst3::TUID, vst3::TUID, void** obj) override {
        if (obj)
            *obj = nullptr;
        return obj ? vst3::kResultFalse : vst3::kInvalidArgument;
    }
};

// The host's frame around a view. A resize the view asks for is kept, and given to the
// view's onSize before resizeView returns, as hosts do, from the host's own copy.
class HostPlugFrame final : public LendsRunLoop<vst3::IPlugFrame> {
public:
    explicit HostPlugFrame(HostRunLoop* loop) : LendsRunLoop("plug frame", loop) {}

    vst3::tresult PLUGIN_API resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) override {
        if (!view || !newSize)
            return vst3::kInvalidArgument;
        requests.push_back(*newSize);
        vst3::ViewRect size = *newSize;
        return view->onSize(&size);
    }

    std::vector<vst3::ViewRect> requests;
};
