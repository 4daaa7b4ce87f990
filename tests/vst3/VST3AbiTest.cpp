// Our declarations against the published facts that no host of our own could catch,
// since it shares them: every identifier's bytes, and every method's vtable slot.
#include "HostComponentHandler.h"
#include "MemoryStream.h"
#include "VST3Interface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace vst3;

namespace {

// The build says which column of the published table this platform must match,
// independently of the platform header that lays the identifiers out.
constexpr bool kWindowsBytes = QUELOR_VST3_WINDOWS_IID_BYTES;

std::string Hex(const Uid& uid) {
    std::string text;
    for (char byte : uid) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(byte));
        text += pair;
    }
    text.pop_back();
    return text;
}

struct IidCase {
    const char* name;
    Uid iid;
    Uid onLinux;
    Uid onWindows;
};

// The published table, both columns as printed there.
constexpr IidCase kIids[] = {
    {"FUnknown", FUnknown::kIid, UidFromBytes("00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46"),
     UidFromBytes("00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46")},
    {"IPluginBase", IPluginBase::kIid,
     UidFromBytes("22 88 8D DB 15 6E 45 AE 83 58 B3 48 08 19 06 25"),
     UidFromBytes("DB 8D 88 22 6E 15 AE 45 83 58 B3 48 08 19 06 25")},
    {"IPluginFactory", IPluginFactory::kIid,
     UidFromBytes("7A 4D 81 1C 52 11 4A 1F AE D9 D2 EE 0B 43 BF 9F"),
     UidFromBytes("1C 81 4D 7A 11 52 1F 4A AE D9 D2 EE 0B 43 BF 9F")},
    {"IPluginFactory2", IPluginFactory2::kIid,
     UidFromBytes("00 07 B6 50 F2 4B 4C 0B A4 64 ED B9 F0 0B 2A BB"),
     UidFromBytes("50 B6 07 00 4B F2 0B 4C A4 64 ED B9 F0 0B 2A BB")},
    {"IPluginFactory3", IPluginFactory3::kIid,
     UidFromBytes("45 55 A2 AB C1 23 4E 57 9B 12 29 10 36 87 89 31"),
     UidFromBytes("AB A2 55 45 23 C1 57 4E 9B 12 29 10 36 87 89 31")},
    {"IBStream", IBStream::kIid, UidFromBytes("C3 BF 6E A2 30 99 47 52 9B 6B F9 90 1E E3 3E 9B"),
     UidFromBytes("A2 6E BF C3 99 30 52 47 9B 6B F9 90 1E E3 3E 9B")},
    {"IComponent", IComponent::kIid,
     UidFromBytes("E8 31 FF 31 F2 D5 43 01 92 8E BB EE 25 69 78 02"),
     UidFromBytes("31 FF 31 E8 D5 F2 01 43 92 8E BB EE 25 69 78 02")},
    {"IAudioProcessor", IAudioProcessor::kIid,
     UidFromBytes("42 04 3F 99 B7 DA 45 3C A5 69 E7 9D 9A AE C3 3D"),
     UidFromBytes("99 3F 04 42 DA B7 3C 45 A5 69 E7 9D 9A AE C3 3D")},
    {"IAudioPresentationLatency", IAudioPresentationLatency::kIid,
     UidFromBytes("30 9E CE 78 EB 7D 4F AE 8B 22 25 D9 09 FD 08 B6"),
     UidFromBytes("78 CE 9E 30 7D EB AE 4F 8B 22 25 D9 09 FD 08 B6")},
    {"IProcessContextRequirements", IProcessContextRequirements::kIid,
     UidFromBytes("2A 65 43 03 EF 76 4E 3D 95 B5 FE 83 73 0E F6 D0"),
     UidFromBytes("03 43 65 2A 76 EF 3D 4E 95 B5 FE 83 73 0E F6 D0")},
    {"IEditController", IEditController::kIid,
     UidFromBytes("DC D7 BB E3 77 42 44 8D A8 74 AA CC 97 9C 75 9E"),
     UidFromBytes("E3 BB D7 DC 42 77 8D 44 A8 74 AA CC 97 9C 75 9E")},
    {"IEditController2", IEditController2::kIid,
     UidFromBytes("7F 4E FE 59 F3 20 49 67 AC 27 A3 AE AF B6 30 38"),
     UidFromBytes("59 FE 4E 7F 20 F3 67 49 AC 27 A3 AE AF B6 30 38")},
    {"IComponentHandler", IComponentHandler::kIid,
     UidFromBytes("93 A0 BE A3 0B D0 45 DB 8E 89 0B 0C C1 E4 6A C6"),
     UidFromBytes("A3 BE A0 93 D0 0B DB 45 8E 89 0B 0C C1 E4 6A C6")},
    {"IComponentHandler2", IComponentHandler2::kIid,
     UidFromBytes("F0 40 B4 B3 A3 60 45 EC AB CD C0 45 B4 D5 A2 CC"),
     UidFromBytes("B3 B4 40 F0 60 A3 EC 45 AB CD C0 45 B4 D5 A2 CC")},
    {"IMidiMapping", kIMidiMappingIid,
     UidFromBytes("DF 0F F9 F7 49 B7 46 69 B6 3A B7 32 7A DB F5 E5"),
     UidFromBytes("F7 F9 0F DF B7 49 69 46 B6 3A B7 32 7A DB F5 E5")},
    {"IUnitInfo", kIUnitInfoIid, UidFromBytes("3D 4B D6 B5 91 3A 4F D2 A8 86 E7 68 A5 EB 92 C1"),
     UidFromBytes("B5 D6 4B 3D 3A 91 D2 4F A8 86 E7 68 A5 EB 92 C1")},
    {"IParamValueQueue", IParamValueQueue::kIid,
     UidFromBytes("01 26 3A 18 ED 07 4F 6F 98 C9 D3 56 46 86 F9 BA"),
     UidFromBytes("18 3A 26 01 07 ED 6F 4F 98 C9 D3 56 46 86 F9 BA")},
    {"IParameterChanges", IParameterChanges::kIid,
     UidFromBytes("A4 77 96 63 0B B6 4A 56 B4 43 84 A8 46 6F EB 9D"),
     UidFromBytes("63 96 77 A4 B6 0B 56 4A B4 43 84 A8 46 6F EB 9D")},
    {"IEventList", IEventList::kIid,
     UidFromBytes("3A 2C 42 14 34 63 49 FE B2 C4 F3 97 B9 69 5A 44"),
     UidFromBytes("14 42 2C 3A 63 34 FE 49 B2 C4 F3 97 B9 69 5A 44")},
    {"IMessage", IMessage::kIid, UidFromBytes("93 6F 03 3B C6 C0 47 DB BB 08 82 F8 13 C1 E6 13"),
     UidFromBytes("3B 03 6F 93 C0 C6 DB 47 BB 08 82 F8 13 C1 E6 13")},
    {"IConnectionPoint", IConnectionPoint::kIid,
     UidFromBytes("70 A4 15 6F 6E 6E 40 26 98 91 48 BF AA 60 D8 D1"),
     UidFromBytes("6F 15 A4 70 6E 6E 26 40 98 91 48 BF AA 60 D8 D1")},
    {"IAttributeList", IAttributeList::kIid,
     UidFromBytes("1E 5F 0A EB CC 7F 45 33 A2 54 40 11 38 AD 5E E4"),
     UidFromBytes("EB 0A 5F 1E 7F CC 33 45 A2 54 40 11 38 AD 5E E4")},
    {"IHostApplication", IHostApplication::kIid,
     UidFromBytes("58 E5 95 CC DB 2D 49 69 8B 6A AF 8C 36 A6 64 E5"),
     UidFromBytes("CC 95 E5 58 2D DB 69 49 8B 6A AF 8C 36 A6 64 E5")},
    {"IPlugView", IPlugView::kIid, UidFromBytes("5B C3 25 07 D0 60 49 EA A6 15 1B 52 2B 75 5B 29"),
     UidFromBytes("07 25 C3 5B 60 D0 EA 49 A6 15 1B 52 2B 75 5B 29")},
    {"IPlugFrame", IPlugFrame::kIid,
     UidFromBytes("36 7F AF 01 AF A9 46 93 8D 4D A2 A0 ED 08 82 A3"),
     UidFromBytes("01 AF 7F 36 A9 AF 93 46 8D 4D A2 A0 ED 08 82 A3")},
    {"IPlugViewContentScaleSupport", IPlugViewContentScaleSupport::kIid,
     UidFromBytes("65 ED 96 90 8A C4 45 25 8A AD EF 7A 72 EA 70 3F"),
     UidFromBytes("90 96 ED 65 C4 8A 25 45 8A AD EF 7A 72 EA 70 3F")},
    {"IRunLoop", Linux::IRunLoop::kIid,
     UidFromBytes("18 C3 53 66 97 76 4F 1A 9C 5B 83 85 7A 87 13 89"),
     UidFromBytes("66 53 C3 18 76 97 1A 4F 9C 5B 83 85 7A 87 13 89")},
    {"IEventHandler", Linux::IEventHandler::kIid,
     UidFromBytes("56 1E 65 C9 13 A0 49 6F 81 3A 2C 35 65 4D 79 83"),
     UidFromBytes("C9 65 1E 56 A0 13 6F 49 81 3A 2C 35 65 4D 79 83")},
    {"ITimerHandler", Linux::ITimerHandler::kIid,
     UidFromBytes("10 BD D9 4F 41 42 47 74 82 1F AD 8F EC A7 2C A9"),
     UidFromBytes("4F D9 BD 10 42 41 74 47 82 1F AD 8F EC A7 2C A9")},
};

TEST(VST3Abi, EveryIdentifierHasThePublishedBytesOfThisPlatform) {
    for (const IidCase& c : kIids)
        EXPECT_EQ(Hex(c.iid), Hex(kWindowsBytes ? c.onWindows : c.onLinux)) << c.name;
}

// The vtable slot a virtual method occupies, read from a pointer to it. GCC and clang
// (the C++ ABI they share, on Linux and with MinGW) store such a pointer as one plus
// the method's byte offset in the vtable, followed by a this-adjustment.
template <class Method> size_t SlotOf(Method method) {
    struct Representation {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(Method) == sizeof(Representation));
    std::memcpy(&representation, &method, sizeof representation);
    return (representation.pointer - 1) / sizeof(void*);
}

struct SlotCase {
    const char* method;
    size_t slot;
    size_t published;
};

#define SLOT(Interface, method, published)                                                         \
    { #Interface "::" #method, SlotOf(&Interface::method), published }

TEST(VST3Abi, EveryMethodSitsInItsPublishedSlot) {
    using namespace vst3::Linux;
    const SlotCase cases[] = {
        SLOT(FUnknown, queryInterface, 0),
        SLOT(FUnknown, addRef, 1),
        SLOT(FUnknown, release, 2),
        SLOT(IPluginBase, initialize, 3),
        SLOT(IPluginBase, terminate, 4),
        SLOT(IPluginFactory3, getFactoryInfo, 3),
        SLOT(IPluginFactory3, countClasses, 4),
        SLOT(IPluginFactory3, getClassInfo, 5),
        SLOT(IPluginFactory3, createInstance, 6),
        SLOT(IPluginFactory3, getClassInfo2, 7),
        SLOT(IPluginFactory3, getClassInfoUnicode, 8),
        SLOT(IPluginFactory3, setHostContext, 9),
        SLOT(IComponent, initialize, 3),
        SLOT(IComponent, getControllerClassId, 5),
        SLOT(IComponent, setIoMode, 6),
        SLOT(IComponent, getBusCount, 7),
        SLOT(IComponent, getBusInfo, 8),
        SLOT(IComponent, getRoutingInfo, 9),
        SLOT(IComponent, activateBus, 10),
        SLOT(IComponent, setActive, 11),
        SLOT(IComponent, setState, 12),
        SLOT(IComponent, getState, 13),
        SLOT(IAudioProcessor, setBusArrangements, 3),
        SLOT(IAudioProcessor, getBusArrangement, 4),
        SLOT(IAudioProcessor, canProcessSampleSize, 5),
        SLOT(IAudioProcessor, getLatencySamples, 6),
        SLOT(IAudioProcessor, setupProcessing, 7),
        SLOT(IAudioProcessor, setProcessing, 8),
        SLOT(IAudioProcessor, process, 9),
        SLOT(IAudioProcessor, getTailSamples, 10),
        SLOT(IProcessContextRequirements, getProcessContextRequirements, 3),
        SLOT(IAudioPresentationLatency, setAudioPresentationLatencySamples, 3),
        SLOT(IEditController, terminate, 4),
        SLOT(IEditController, setComponentState, 5),
        SLOT(IEditController, setState, 6),
        SLOT(IEditController, getState, 7),
        SLOT(IEditController, getParameterCount, 8),
        SLOT(IEditController, getParameterInfo, 9),
        SLOT(IEditController, getParamStringByValue, 10),
        SLOT(IEditController, getParamValueByString, 11),
        SLOT(IEditController, normalizedParamToPlain, 12),
        SLOT(IEditController, plainParamToNormalized, 13),
        SLOT(IEditController, getParamNormalized, 14),
        SLOT(IEditController, setParamNormalized, 15),
        SLOT(IEditController, setComponentHandler, 16),
        SLOT(IEditController, createView, 17),
        SLOT(IEditController2, setKnobMode, 3),
        SLOT(IEditController2, openHelp, 4),
        SLOT(IEditController2, openAboutBox, 5),
        SLOT(IComponentHandler, beginEdit, 3),
        SLOT(IComponentHandler, performEdit, 4),
        SLOT(IComponentHandler, endEdit, 5),
        SLOT(IComponentHandler, restartComponent, 6),
        SLOT(IComponentHandler2, setDirty, 3),
        SLOT(IComponentHandler2, requestOpenEditor, 4),
        SLOT(IComponentHandler2, startGroupEdit, 5),
        SLOT(IComponentHandler2, finishGroupEdit, 6),
        SLOT(IParamValueQueue, getParameterId, 3),
        SLOT(IParamValueQueue, getPointCount, 4),
        SLOT(IParamValueQueue, getPoint, 5),
        SLOT(IParamValueQueue, addPoint, 6),
        SLOT(IParameterChanges, getParameterCount, 3),
        SLOT(IParameterChanges, getParameterData, 4),
        SLOT(IParameterChanges, addParameterData, 5),
        SLOT(IEventList, getEventCount, 3),
        SLOT(IEventList, getEvent, 4),
        SLOT(IEventList, addEvent, 5),
        SLOT(IConnectionPoint, connect, 3),
        SLOT(IConnectionPoint, disconnect, 4),
        SLOT(IConnectionPoint, notify, 5),
        SLOT(IMessage, getMessageID, 3),
        SLOT(IMessage, setMessageID, 4),
        SLOT(IMessage, getAttributes, 5),
        SLOT(IAttributeList, setInt, 3),
        SLOT(IAttributeList, getInt, 4),
        SLOT(IAttributeList, setFloat, 5),
        SLOT(IAttributeList, getFloat, 6),
        SLOT(IAttributeList, setString, 7),
        SLOT(IAttributeList, getString, 8),
        SLOT(IAttributeList, setBinary, 9),
        SLOT(IAttributeList, getBinary, 10),
        SLOT(IBStream, read, 3),
        SLOT(IBStream, write, 4),
        SLOT(IBStream, seek, 5),
        SLOT(IBStream, tell, 6),
        SLOT(IHostApplication, getName, 3),
        SLOT(IHostApplication, createInstance, 4),
        SLOT(IPlugView, isPlatformTypeSupported, 3),
        SLOT(IPlugView, attached, 4),
        SLOT(IPlugView, removed, 5),
        SLOT(IPlugView, onWheel, 6),
        SLOT(IPlugView, onKeyDown, 7),
        SLOT(IPlugView, onKeyUp, 8),
        SLOT(IPlugView, getSize, 9),
        SLOT(IPlugView, onSize, 10),
        SLOT(IPlugView, onFocus, 11),
        SLOT(IPlugView, setFrame, 12),
        SLOT(IPlugView, canResize, 13),
        SLOT(IPlugView, checkSizeConstraint, 14),
        SLOT(IPlugFrame, resizeView, 3),
        SLOT(IPlugViewContentScaleSupport, setContentScaleFactor, 3),
        SLOT(IRunLoop, registerEventHandler, 3),
        SLOT(IRunLoop, unregisterEventHandler, 4),
        SLOT(IRunLoop, registerTimer, 5),
        SLOT(IRunLoop, unregisterTimer, 6),
        SLOT(IEventHandler, onFDIsSet, 3),
        SLOT(ITimerHandler, onTimer, 3),
    };
#undef SLOT
    for (const SlotCase& c : cases)
        EXPECT_EQ(c.slot, c.published) << c.method;
}

// A method called the way a host built by another compiler calls it: the function
// taken from the vtable slot, the object passed as an explicit first argument, with
// the platform's convention. On 32-bit Windows that puts `this` on the stack, where a
// method compiled without the convention would look for it in a register.
template <class Result, class... Arguments>
Result CallSlot(void* object, size_t slot, Arguments... arguments) {
    using Function = Result(PLUGIN_API*)(void*, Arguments...);
    void** table = *static_cast<void***>(object);
    Function function;
    std::memcpy(&function, &table[slot], sizeof function);
    return function(object, arguments...);
}

TEST(VST3Abi, HostObjectsAnswerCallsThroughAPlainFunctionTable) {
    MemoryStream stream;
    void* asStream = static_cast<IBStream*>(&stream);
    char bytes[] = "state";
    int32_t written = 0;
    EXPECT_EQ((CallSlot<tresult, void*, int32_t, int32_t*>(asStream, 4, bytes, 5, &written)),
              kResultOk);
    EXPECT_EQ(written, 5);
    int64_t position = -1;
    EXPECT_EQ((CallSlot<tresult, int64_t, int32_t, int64_t*>(
                  asStream, 5, int64_t{1}, int32_t{IBStream::kIBSeekSet}, &position)),
              kResultOk);
    EXPECT_EQ(position, 1);
    EXPECT_EQ((CallSlot<tresult, int64_t*>(asStream, 6, &position)), kResultOk);
    EXPECT_EQ(position, 1);

    HostComponentHandler handler;
    void* asHandler = static_cast<IComponentHandler*>(&handler);
    EXPECT_EQ((CallSlot<tresult, ParamID, ParamValue>(asHandler, 4, ParamID{7}, 0.25)), kResultOk);
    ASSERT_EQ(handler.Calls().size(), 1u);
    EXPECT_EQ(handler.Calls()[0].kind, HandlerCall::PerformEdit);
    EXPECT_EQ(handler.Calls()[0].id, 7u);
    EXPECT_EQ(handler.Calls()[0].value, 0.25);
}

} // namespace
