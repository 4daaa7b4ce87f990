#pragma once

#include "HostObject.h"
#include "VST3Controller.h"

#include <mutex>
#include <thread>
#include <vector>

struct HandlerCall {
    enum Kind { BeginEdit, PerformEdit, EndEdit, RestartComponent };

    Kind kind;
    vst3::ParamID id = 0;
    vst3::ParamValue value = 0.0; // performEdit
    std::thread::id thread = std::this_thread::get_id();
};

// The host's receiver of edits: it logs every call in order, with the calling thread
// (edits belong on the UI thread). It offers no IComponentHandler2, as hosts need not.
class HostComponentHandler final : public HostObject<vst3::IComponentHandler> {
public:
    HostComponentHandler() : HostObject("component handler") {}

    std::vector<HandlerCall> Calls() const {
        std::lock_guard guard(mutex);
        return calls;
    }

    vst3::tresult PLUGIN_API beginEdit(vst3::ParamID id) override {
        return Log({HandlerCall::BeginEdit, id});
    }
    vst3::tresult PLUGIN_API performEdit(vst3::ParamID id, vst3::ParamValue value) override {
        return Log({HandlerCall::PerformEdit, id, value});
    }
    vst3::tresult PLUGIN_API endEdit(vst3::ParamID id) override {
        return Log({HandlerCall::EndEdit, id});
    }
    vst3::tresult PLUGIN_API restartComponent(int32_t) override {
        return Log({HandlerCall::RestartComponent});
    }

private:
    vst3::tresult Log(const HandlerCall& call) {
        std::lock_guard guard(mutex);
        calls.push_back(call);
        return vst3::kResultOk;
    }

    mutable std::mutex mutex;
    std::vector<HandlerCall> calls;
};
