#include "HostApplication.h"

#include <algorithm>
#include <string_view>

using namespace vst3;

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

tresult PLUGIN_API HostPlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
    if (!view || !newSize)
        return kInvalidArgument;
    requests.push_back(*newSize);
    // The host's own copy of the size, as a host passes its window's rectangle.
    ViewRect size = *newSize;
    return view->onSize(&size);
}
