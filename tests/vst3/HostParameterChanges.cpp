#include "HostParameterChanges.h"

using namespace vst3;

// Room for a block's points and queues before either allocates, so that a test sending
// changes makes the host allocate nothing while the plug-in processes.
HostParamValueQueue::HostParamValueQueue(ParamID parameter)
    : HostObject("parameter value queue"), id(parameter) {
    points.reserve(64);
}

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
    for (int32_t i = 0; i < used; ++i)
        if (queues[static_cast<size_t>(i)]->getParameterId() == id)
            return *queues[static_cast<size_t>(i)];
    return AddQueue(id);
}

HostParamValueQueue& HostParameterChanges::AddQueue(ParamID id) {
    if (used == static_cast<int32_t>(queues.size()))
        queues.push_back(std::make_unique<HostParamValueQueue>(id));
    HostParamValueQueue& queue = *queues[static_cast<size_t>(used++)];
    queue.Reset(id);
    return queue;
}
