#include "HostApplication.h"

#include <algorithm>
#include <string_view>

using namespace vst3;

HostApplication::HostApplication(HostRunLoop* loop)
    : HostObject("host application"), runLoop(loop) {}

tresult PLUGIN_API HostApplication::getName(String128 text) {
    if (!text)
        return kInvalidArgument;
    const std::u16string_view name = u"Quelor Test Host";
    *std::copy(name.begin(), name.end(), text) = u'\0';
    return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID, TUID, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    return kResultFalse;
}

tresult HostApplication::Query(const char* iid, void** obj) {
    if (runLoop && SameUid(iid, Linux::IRunLoop::kIid))
        return runLoop->queryInterface(iid, obj);
    return HostObject::Query(iid, obj);
}
