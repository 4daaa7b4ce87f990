#include "HostComponentHandler.h"

using namespace vst3;

HostComponentHandler::HostComponentHandler() : HostObject("component handler") {}

std::vector<HandlerCall> HostComponentHandler::Calls() const {
    std::lock_guard guard(mutex);
    return calls;
}

void HostComponentHandler::ClearLog() {
    std::lock_guard guard(mutex);
    calls.clear();
}

tresult HostComponentHandler::Log(HandlerCall::Kind kind, ParamID id, ParamValue value,
                                  int32_t flags, std::string editor) {
    const HandlerCall call{kind, id, value, flags, std::move(editor)};
    {
        std::lock_guard guard(mutex);
        calls.push_back(call);
    }
    if (reaction)
        reaction(call);
    return answer;
}

tresult PLUGIN_API HostComponentHandler::beginEdit(ParamID id) {
    return Log(HandlerCall::BeginEdit, id);
}

tresult PLUGIN_API HostComponentHandler::performEdit(ParamID id, ParamValue valueNormalized) {
    return Log(HandlerCall::PerformEdit, id, valueNormalized);
}

tresult PLUGIN_API HostComponentHandler::endEdit(ParamID id) {
    return Log(HandlerCall::EndEdit, id);
}

tresult PLUGIN_API HostComponentHandler::restartComponent(int32_t flags) {
    return Log(HandlerCall::RestartComponent, 0, 0.0, flags);
}

tresult PLUGIN_API HostComponentHandler::setDirty(TBool state) {
    return Log(HandlerCall::SetDirty, 0, 0.0, state);
}

tresult PLUGIN_API HostComponentHandler::requestOpenEditor(FIDString editor) {
    return Log(HandlerCall::RequestOpenEditor, 0, 0.0, 0, editor ? editor : "");
}

tresult PLUGIN_API HostComponentHandler::startGroupEdit() {
    return Log(HandlerCall::StartGroupEdit);
}

tresult PLUGIN_API HostComponentHandler::finishGroupEdit() {
    return Log(HandlerCall::FinishGroupEdit);
}

tresult HostComponentHandler::Query(const char* iid, void** obj) {
    if (!offerHandler2 && SameUid(iid, IComponentHandler2::kIid))
        return kNoInterface;
    return HostObject::Query(iid, obj);
}
