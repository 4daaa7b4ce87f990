#pragma once

#include "HostObject.h"
#include "VST3Processing.h"

#include <cstdint>
#include <memory>
#include <vector>

// One parameter's points in one block. The host side appends points as given, without
// any check, so that a test can send what a careless host sends: offsets outside the
// block or out of order, values outside 0..1 or not numbers at all.
class HostParamValueQueue final : public HostObject<vst3::IParamValueQueue> {
public:
    explicit HostParamValueQueue(vst3::ParamID parameter)
        : HostObject("parameter value queue"), id(parameter) {}

    void Add(int32_t sampleOffset, vst3::ParamValue value) {
        points.push_back({sampleOffset, value});
    }

    vst3::ParamID PLUGIN_API getParameterId() override { return id; }
    int32_t PLUGIN_API getPointCount() override { return static_cast<int32_t>(points.size()); }
    vst3::tresult PLUGIN_API getPoint(int32_t index, int32_t* sampleOffset,
                                      vst3::ParamValue* value) override;
    // Input queues only: the plug-in sends no parameter changes back.
    vst3::tresult PLUGIN_API addPoint(int32_t, vst3::ParamValue, int32_t*) override {
        return vst3::kResultFalse;
    }

private:
    struct Point {
        int32_t sampleOffset;
        vst3::ParamValue value;
    };
    vst3::ParamID id;
    std::vector<Point> points;
};

// The parameter changes the host fills before one process call. The queues are lent,
// never referenced: the plug-in must not release them, which the queues' own reference
// checks catch.
class HostParameterChanges final : public HostObject<vst3::IParameterChanges> {
public:
    HostParameterChanges() : HostObject("parameter changes") {}

    // The queue of this parameter, added after the others when the block has none yet.
    HostParamValueQueue& Queue(vst3::ParamID id);
    // Another queue even when one for the id exists: two queues for one parameter.
    HostParamValueQueue& AddQueue(vst3::ParamID id) {
        return *queues.emplace_back(std::make_unique<HostParamValueQueue>(id));
    }
    // Empty again for the next block.
    void Clear() { queues.clear(); }

    int32_t PLUGIN_API getParameterCount() override { return static_cast<int32_t>(queues.size()); }
    vst3::IParamValueQueue* PLUGIN_API getParameterData(int32_t index) override {
        return index >= 0 && index < getParameterCount() ? queues[static_cast<size_t>(index)].get()
                                                         : nullptr;
    }
    vst3::IParamValueQueue* PLUGIN_API addParameterData(const vst3::ParamID*, int32_t*) override {
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<HostParamValueQueue>> queues;
};
