#include "HostParameterChanges.h"

using namespace vst3;

namespace {
// Room for a block's points and queues before either allocates: a plug-in adding
// output points on the audio thread should not make the host allocate there.
constexpr size_t kReservedPoints = 64;
constexpr size_t kReservedQueues = 32;
} // namespace

HostParamValueQueue::HostParamValueQueue(ParamID parameter)
    : HostObject("parameter value queue"), id(parameter) {
    points.reserve(kReservedPoints);
}

void HostParamValueQueue::Reset(ParamID newId) {
    id = newId;
    points.clear();
}

int32_t PLUGIN_API HostParamValueQueue::getPointCount() {
    return static_cast<int32_t>(points.size());
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

tresult PLUGIN_API HostParamValueQueue::addPoint(int32_t sampleOffset, ParamValue value,
                                                 int32_t* index) {
    if (index)
        *index = getPointCount();
    Add(sampleOffset, value);
    return kResultOk;
}

HostParameterChanges::HostParameterChanges() : HostObject("parameter changes") {
    queues.reserve(kReservedQueues);
}

HostParamValueQueue* HostParameterChanges::Find(ParamID id, int32_t* index) {
    for (int32_t i = 0; i < used; ++i)
        if (At(i).getParameterId() == id) {
            if (index)
                *index = i;
            return &At(i);
        }
    return nullptr;
}

HostParamValueQueue& HostParameterChanges::Queue(ParamID id) {
    HostParamValueQueue* queue = Find(id, nullptr);
    return queue ? *queue : AddQueue(id);
}

HostParamValueQueue& HostParameterChanges::AddQueue(ParamID id) {
    if (used == static_cast<int32_t>(queues.size()))
        queues.push_back(std::make_unique<HostParamValueQueue>(id));
    HostParamValueQueue& queue = At(used++);
    queue.Reset(id);
    return queue;
}

IParamValueQueue* PLUGIN_API HostParameterChanges::getParameterData(int32_t index) {
    return index >= 0 && index < used ? &At(index) : nullptr;
}

IParamValueQueue* PLUGIN_API HostParameterChanges::addParameterData(const ParamID* id,
                                                                    int32_t* index) {
    if (!id)
        return nullptr;
    if (HostParamValueQueue* queue = Find(*id, index))
        return queue;
    if (index)
        *index = used;
    return &AddQueue(*id);
}
