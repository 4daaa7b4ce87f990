#pragma once

#include "HostObject.h"
#include "VST3Controller.h"

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One call the plug-in made into the component handler.
struct HandlerCall {
    enum Kind {
        BeginEdit,
        PerformEdit,
        EndEdit,
        RestartComponent,
        SetDirty,
        RequestOpenEditor,
        StartGroupEdit,
        FinishGroupEdit,
    };

    Kind kind;
    vst3::ParamID id = 0;
    vst3::ParamValue value = 0.0; // performEdit
    int32_t flags = 0;            // restartComponent; setDirty's state
    std::string editor;           // requestOpenEditor
    std::thread::id thread = std::this_thread::get_id();
};

// The host's receiver of edits: it logs every call in order, with the calling thread
// (edits belong on the UI thread), and answers from fields the test sets.
class HostComponentHandler final
    : public HostObject<vst3::IComponentHandler, vst3::IComponentHandler2> {
public:
    HostComponentHandler();

    std::vector<HandlerCall> Calls() const;
    void ClearLog();

    vst3::tresult answer = vst3::kResultOk;
    // Hosts are not obliged to offer the second interface.
    bool offerHandler2 = true;
    // The host's own response to a call, after it is logged and before it is answered:
    // hosts call the plug-in back from their handlers (a latency change makes them
    // reread the latency).
    std::function<void(const HandlerCall&)> reaction;

    vst3::tresult PLUGIN_API beginEdit(vst3::ParamID id) override;
    vst3::tresult PLUGIN_API performEdit(vst3::ParamID id,
                                         vst3::ParamValue valueNormalized) override;
    vst3::tresult PLUGIN_API endEdit(vst3::ParamID id) override;
    vst3::tresult PLUGIN_API restartComponent(int32_t flags) override;
    vst3::tresult PLUGIN_API setDirty(vst3::TBool state) override;
    vst3::tresult PLUGIN_API requestOpenEditor(vst3::FIDString name) override;
    vst3::tresult PLUGIN_API startGroupEdit() override;
    vst3::tresult PLUGIN_API finishGroupEdit() override;

protected:
    vst3::tresult Query(const char* iid, void** obj) override;

private:
    vst3::tresult Log(HandlerCall::Kind kind, vst3::ParamID id = 0, vst3::ParamValue value = 0.0,
                      int32_t flags = 0, std::string editor = {});

    mutable std::mutex mutex;
    std::vector<HandlerCall> calls;
};
