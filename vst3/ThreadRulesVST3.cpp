#include "ThreadRulesVST3.h"

namespace {
using Tag = ThreadTag;

// In the order of VST3Call.
constexpr TaggedEntry kEntries[] = {
    {"initialize", Tag::kMain},
    {"terminate", Tag::kMain},
    {"getControllerClassId", Tag::kMain},
    {"setIoMode", Tag::kMain},
    {"getBusCount", Tag::kMain},
    {"getBusInfo", Tag::kMain},
    {"getRoutingInfo", Tag::kMain},
    {"activateBus", Tag::kMain},
    {"setActive", Tag::kMain},
    {"setState", Tag::kMainOrAudio},
    {"getState", Tag::kMainOrAudio},
    {"setBusArrangements", Tag::kMain},
    {"getBusArrangement", Tag::kMain},
    {"canProcessSampleSize", Tag::kMain},
    {"getLatencySamples", Tag::kMain},
    {"setupProcessing", Tag::kMain},
    {"setProcessing", Tag::kMainOrAudio},
    {"process", Tag::kAudio},
    {"getTailSamples", Tag::kMain},
    {"getProcessContextRequirements", Tag::kMain},
    {"setComponentState", Tag::kMainOrAudio},
    {"getParameterCount", Tag::kMain},
    {"getParameterInfo", Tag::kMain},
    {"getParamStringByValue", Tag::kMain},
    {"getParamValueByString", Tag::kMain},
    {"normalizedParamToPlain", Tag::kMain},
    {"plainParamToNormalized", Tag::kMain},
    {"getParamNormalized", Tag::kMain},
    {"setParamNormalized", Tag::kMain},
    {"setComponentHandler", Tag::kMain},
    {"createView", Tag::kMain},
    {"setKnobMode", Tag::kMain},
    {"openHelp", Tag::kMain},
    {"openAboutBox", Tag::kMain},
    {"view isPlatformTypeSupported", Tag::kMain},
    {"view attached", Tag::kMain},
    {"view removed", Tag::kMain},
    {"view getSize", Tag::kMain},
    {"view onSize", Tag::kMain},
    {"view setFrame", Tag::kMain},
    {"view checkSizeConstraint", Tag::kMain},
    {"view setContentScaleFactor", Tag::kMain},
};
static_assert(std::size(kEntries) == static_cast<std::size_t>(VST3Call::kCount));
} // namespace

ThreadRulesVST3::ThreadRulesVST3() : check(kEntries, *this) {}
