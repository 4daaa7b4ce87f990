#pragma once

// The edit controller: parameters as the host sees them, the editor's view, and the
// host's component handler that carries edits back. Every call is on the UI thread.

#include "VST3Processing.h"
#include "VST3View.h"

namespace vst3 {

using KnobMode = int32_t;

struct ParameterInfo {
    enum ParameterFlags : int32_t {
        kNoFlags = 0,
        kCanAutomate = 0x1,
        kIsReadOnly = 0x2, // for meters; never with kCanAutomate
        kIsWrapAround = 0x4,
        kIsList = 0x8,
        kIsHidden = 0x10,
        kIsProgramChange = 0x8000,
        kIsBypass = 0x10000,
    };

    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount; // 0 continuous, n for n + 1 values
    ParamValue defaultNormalizedValue;
    UnitID unitId; // kRootUnitId without IUnitInfo
    int32_t flags;
};
static_assert(sizeof(ParameterInfo) == 792 && alignof(ParameterInfo) == 8);
static_assert(offsetof(ParameterInfo, title) == 4);
static_assert(offsetof(ParameterInfo, shortTitle) == 260);
static_assert(offsetof(ParameterInfo, units) == 516);
static_assert(offsetof(ParameterInfo, stepCount) == 772);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(offsetof(ParameterInfo, unitId) == 784);
static_assert(offsetof(ParameterInfo, flags) == 788);

inline constexpr UnitID kRootUnitId = 0;

// What restartComponent tells the host to read again.
enum RestartFlags : int32_t {
    kReloadComponent = 0x1,
    kIoChanged = 0x2,
    kParamValuesChanged = 0x4,
    kLatencyChanged = 0x8, // the host deactivates, rereads the latency, reactivates
    kParamTitlesChanged = 0x10,
    kMidiCCAssignmentChanged = 0x20,
    kNoteExpressionChanged = 0x40,
    kIoTitlesChanged = 0x80,
    kPrefetchableSupportChanged = 0x100,
    kRoutingInfoChanged = 0x200,
    kKeyswitchChanged = 0x400,
    kParamIDMappingChanged = 0x800,
};

// The host's receiver of edits made in the editor: beginEdit, performEdit..., endEdit
// per gesture, from the UI thread.
class IComponentHandler : public FUnknown {
public:
    virtual tresult PLUGIN_API beginEdit(ParamID id) = 0;
    virtual tresult PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult PLUGIN_API endEdit(ParamID id) = 0;
    virtual tresult PLUGIN_API restartComponent(int32_t flags) = 0;

    static constexpr Uid kIid = MakeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);

protected:
    ~IComponentHandler() = default;
};

// Optional; queried from the component handler.
class IComponentHandler2 : public FUnknown {
public:
    virtual tresult PLUGIN_API setDirty(TBool state) = 0;
    virtual tresult PLUGIN_API requestOpenEditor(FIDString name) = 0;
    virtual tresult PLUGIN_API startGroupEdit() = 0;
    virtual tresult PLUGIN_API finishGroupEdit() = 0;

    static constexpr Uid kIid = MakeUid(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);

protected:
    ~IComponentHandler2() = default;
};

// A single-object plug-in's host calls initialize and terminate once through each of
// IComponent and this interface, and may call the state pair here too: the controller's
// own state (setState/getState) is empty then, and setComponentState reads the
// component's bytes again.
class IEditController : public IPluginBase {
public:
    virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;
    virtual int32_t PLUGIN_API getParameterCount() = 0;
    virtual tresult PLUGIN_API getParameterInfo(int32_t paramIndex, ParameterInfo* info) = 0;
    // string is a String128.
    virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                     TChar* string) = 0;
    virtual tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                     ParamValue* valueNormalized) = 0;
    virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id,
                                                         ParamValue valueNormalized) = 0;
    virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;
    // From the host: never answered with performEdit.
    virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
    // Null on tear-down; keep the handler only with a reference added.
    virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
    // For kEditorViewType; null when there is no editor.
    virtual IPlugView* PLUGIN_API createView(FIDString name) = 0;

    static constexpr Uid kIid = MakeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

protected:
    ~IEditController() = default;
};

enum KnobModes : KnobMode {
    kCircularMode = 0,
    kRelativCircularMode = 1,
    kLinearMode = 2,
};

// Optional; kResultFalse answers "not supported".
class IEditController2 : public FUnknown {
public:
    virtual tresult PLUGIN_API setKnobMode(KnobMode mode) = 0;
    virtual tresult PLUGIN_API openHelp(TBool onlyCheck) = 0;
    virtual tresult PLUGIN_API openAboutBox(TBool onlyCheck) = 0;

    static constexpr Uid kIid = MakeUid(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);

protected:
    ~IEditController2() = default;
};

// Interfaces that hosts query and Quelor does not offer; only their identifiers, so
// a query can be recognised and refused.
inline constexpr Uid kIUnitInfoIid = MakeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
inline constexpr Uid kIMidiMappingIid = MakeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);

} // namespace vst3
