#pragma once

#include "ThreadCheck.h"

#include <cstdint>

// Every entry a host may call on the component, the controller and the view.
enum class VST3Call : uint8_t {
    kInitialize,
    kTerminate,
    kGetControllerClassId,
    kSetIoMode,
    kGetBusCount,
    kGetBusInfo,
    kGetRoutingInfo,
    kActivateBus,
    kSetActive,
    kSetState,
    kGetState,
    kSetBusArrangements,
    kGetBusArrangement,
    kCanProcessSampleSize,
    kGetLatencySamples,
    kSetupProcessing,
    kSetProcessing,
    kProcess,
    kGetTailSamples,
    kGetProcessContextRequirements,
    kSetComponentState,
    kGetParameterCount,
    kGetParameterInfo,
    kGetParamStringByValue,
    kGetParamValueByString,
    kNormalizedParamToPlain,
    kPlainParamToNormalized,
    kGetParamNormalized,
    kSetParamNormalized,
    kSetComponentHandler,
    kCreateView,
    kSetKnobMode,
    kOpenHelp,
    kOpenAboutBox,
    kViewIsPlatformTypeSupported,
    kViewAttached,
    kViewRemoved,
    kViewGetSize,
    kViewOnSize,
    kViewSetFrame,
    kViewCheckSizeConstraint,
    kViewSetContentScaleFactor,
    kCount
};

// VST 3's threading rules: process on the audio thread, setProcessing and the state on
// the UI or the audio thread (hosts save offline on their processing thread), everything
// else on the UI thread, which is the one that made the object. The format gives no way
// to tell an audio thread or to log, and hosts are known to bend these rules, so a call on
// the wrong thread stops builds with assertions and is answered all the same otherwise.
class ThreadRulesVST3 final : public ThreadOracle {
public:
    ThreadRulesVST3();

    // Any thread.
    void Expect(VST3Call call) {
        if (!check.OnTaggedThread(static_cast<int>(call), false))
            check.Refuse(static_cast<int>(call), Misuse::kWrongThread);
    }

    bool IsMainThread() const override { return creator.IsCurrent(); }
    void Log(const char*) const override {}

private:
    CreatingThread creator;
    ThreadCheck check;
};
