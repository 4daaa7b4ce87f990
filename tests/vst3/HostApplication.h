#pragma once

#include "HostObject.h"
#include "HostRunLoop.h"
#include "VST3Host.h"

// The context a host passes to initialize and setHostContext: its name; it makes no
// objects on request (null and kResultFalse). Queried for the run loop, it hands over
// the one it was given, if any, as Linux hosts may.
class HostApplication final : public HostObject<vst3::IHostApplication> {
public:
    explicit HostApplication(HostRunLoop* runLoop = nullptr);

    vst3::tresult PLUGIN_API getName(vst3::String128 name) override;
    vst3::tresult PLUGIN_API createInstance(vst3::TUID cid, vst3::TUID iid, void** obj) override;

protected:
    vst3::tresult Query(const char* iid, void** obj) override;

private:
    HostRunLoop* runLoop;
};
