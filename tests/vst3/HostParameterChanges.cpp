#include "HostParameterChanges.h"

using namespace vst3;

tresult PLUGIN_API HostParamValueQueue::getPoint(int32_t index, int32_t* sampleOffset,
                                                 ParamValue* value) {
    if (!sampleOffset || !value)
        return kInvalidArgument;
    if (index < 0 || index >= getPointCount())
        return kResultFalse;
    *sampleOffset = points[static_cast<size_t>(index)].sampleOffset;
    *value = points[static_cast<size_t>(index)].value;
    return kResultOk;
}

HostParamValueQueue& HostParameterChanges::Queue(ParamID id) {
    for (const auto& queue : queues)
        if (queue->getParameterId() == id)
            return *queue;
    return AddQueue(id);
}
