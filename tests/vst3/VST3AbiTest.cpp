// Our declarations against the published facts that no host of our own could catch,
// since it shares them: the bytes of every identifier the plug-in answers or is asked
// for, and the vtable slot of every method it offers or calls; and the test host's
// objects as a host built elsewhere calls them, with their reference checks, whose going
// blind no plug-in test would notice.
#include "VST3PluginHost.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace vst3;
using namespace vst3::Linux;

namespace {

// The build says which column of the published table this platform must match,
// independently of the platform header that lays the identifiers out.
constexpr bool kWindowsBytes = QUELOR_VST3_WINDOWS_IID_BYTES;

// The bytes of an identifier published as four words "l1 l2 l3 l4": in their order on
// Linux; on Windows a GUID's, whose first three fields (l1, l2's halves) are little-endian.
std::string PublishedBytes(std::string words) {
    std::erase(words, ' ');
    if (!kWindowsBytes)
        return words;
    std::string bytes;
    for (const auto& [from, count] : {std::pair{0, 4}, {4, 2}, {6, 2}})
        for (int i = from + count - 1; i >= from; --i)
            bytes += words.substr(static_cast<size_t>(2 * i), 2);
    return bytes + words.substr(16);
}

struct IidCase {
    const char* name;
    Uid iid;
    const char* words;
};

#define IID(Interface, words)                                                                      \
    { #Interface, Interface::kIid, words }
constexpr IidCase kIids[] = {
    IID(FUnknown, "00000000 00000000 C0000000 00000046"),
    IID(IPluginBase, "22888DDB 156E45AE 8358B348 08190625"),
    IID(IPluginFactory, "7A4D811C 52114A1F AED9D2EE 0B43BF9F"),
    IID(IPluginFactory2, "0007B650 F24B4C0B A464EDB9 F00B2ABB"),
    IID(IPluginFactory3, "4555A2AB C1234E57 9B122910 36878931"),
    IID(IBStream, "C3BF6EA2 30994752 9B6BF990 1EE33E9B"),
    IID(IComponent, "E831FF31 F2D54301 928EBBEE 25697802"),
    IID(IAudioProcessor, "42043F99 B7DA453C A569E79D 9AAEC33D"),
    IID(IProcessContextRequirements, "2A654303 EF764E3D 95B5FE83 730EF6D0"),
    IID(IEditController, "DCD7BBE3 7742448D A874AACC 979C759E"),
    IID(IEditController2, "7F4EFE59 F3204967 AC27A3AE AFB63038"),
    IID(IComponentHandler, "93A0BEA3 0BD045DB 8E890B0C C1E46AC6"),
    {"IMidiMapping", kIMidiMappingIid, "DF0FF9F7 49B74669 B63AB732 7ADBF5E5"},
    {"IUnitInfo", kIUnitInfoIid, "3D4BD6B5 913A4FD2 A886E768 A5EB92C1"},
    IID(IParamValueQueue, "01263A18 ED074F6F 98C9D356 4686F9BA"),
    IID(IParameterChanges, "A4779663 0BB64A56 B44384A8 466FEB9D"),
    IID(IConnectionPoint, "70A4156F 6E6E4026 989148BF AA60D8D1"),
    IID(IHostApplication, "58E595CC DB2D4969 8B6AAF8C 36A664E5"),
    IID(IPlugView, "5BC32507 D06049EA A6151B52 2B755B29"),
    IID(IPlugFrame, "367FAF01 AFA94693 8D4DA2A0 ED0882A3"),
    IID(IPlugViewContentScaleSupport, "65ED9690 8AC44525 8AADEF7A 72EA703F"),
    IID(IRunLoop, "18C35366 97764F1A 9C5B8385 7A871389"),
    IID(IEventHandler, "561E65C9 13A0496F 813A2C35 654D7983"),
    IID(ITimerHandler, "10BDD94F 41424774 821FAD8F ECA72CA9"),
};
#undef IID

TEST(VST3Abi, EveryIdentifierHasThePublishedBytesOfThisPlatform) {
    for (const IidCase& c : kIids)
        EXPECT_EQ(Hex(c.iid.data(), c.iid.size()), PublishedBytes(c.words)) << c.name;
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

// The methods in their published order, the first in slot `first`.
template <class... Methods>
void ExpectSlots(const char* interface, size_t first, Methods... methods) {
    const size_t slots[] = {SlotOf(methods)...};
    for (size_t i = 0; i < sizeof...(methods); ++i)
        EXPECT_EQ(slots[i], first + i) << interface << ", method " << i;
}

TEST(VST3Abi, EveryMethodSitsInItsPublishedSlot) {
    ExpectSlots("FUnknown", 0, &FUnknown::queryInterface, &FUnknown::addRef, &FUnknown::release);
    ExpectSlots("IPluginFactory3", 3, &IPluginFactory3::getFactoryInfo,
                &IPluginFactory3::countClasses, &IPluginFactory3::getClassInfo,
                &IPluginFactory3::createInstance, &IPluginFactory3::getClassInfo2,
                &IPluginFactory3::getClassInfoUnicode, &IPluginFactory3::setHostContext);
    ExpectSlots("IComponent", 3, &IComponent::initialize, &IComponent::terminate,
                &IComponent::getControllerClassId, &IComponent::setIoMode, &IComponent::getBusCount,
                &IComponent::getBusInfo, &IComponent::getRoutingInfo, &IComponent::activateBus,
                &IComponent::setActive, &IComponent::setState, &IComponent::getState);
    ExpectSlots("IAudioProcessor", 3, &IAudioProcessor::setBusArrangements,
                &IAudioProcessor::getBusArrangement, &IAudioProcessor::canProcessSampleSize,
                &IAudioProcessor::getLatencySamples, &IAudioProcessor::setupProcessing,
                &IAudioProcessor::setProcessing, &IAudioProcessor::process,
                &IAudioProcessor::getTailSamples);
    ExpectSlots("IProcessContextRequirements", 3,
                &IProcessContextRequirements::getProcessContextRequirements);
    ExpectSlots("IEditController", 3, &IEditController::initialize, &IEditController::terminate,
                &IEditController::setComponentState, &IEditController::setState,
                &IEditController::getState, &IEditController::getParameterCount,
                &IEditController::getParameterInfo, &IEditController::getParamStringByValue,
                &IEditController::getParamValueByString, &IEditController::normalizedParamToPlain,
                &IEditController::plainParamToNormalized, &IEditController::getParamNormalized,
                &IEditController::setParamNormalized, &IEditController::setComponentHandler,
                &IEditController::createView);
    ExpectSlots("IEditController2", 3, &IEditController2::setKnobMode, &IEditController2::openHelp,
                &IEditController2::openAboutBox);
    ExpectSlots("IComponentHandler", 3, &IComponentHandler::beginEdit,
                &IComponentHandler::performEdit, &IComponentHandler::endEdit,
                &IComponentHandler::restartComponent);
    ExpectSlots("IParamValueQueue", 3, &IParamValueQueue::getParameterId,
                &IParamValueQueue::getPointCount, &IParamValueQueue::getPoint,
                &IParamValueQueue::addPoint);
    ExpectSlots("IParameterChanges", 3, &IParameterChanges::getParameterCount,
                &IParameterChanges::getParameterData, &IParameterChanges::addParameterData);
    ExpectSlots("IBStream", 3, &IBStream::read, &IBStream::write, &IBStream::seek, &IBStream::tell);
    ExpectSlots("IHostApplication", 3, &IHostApplication::getName,
                &IHostApplication::createInstance);
    ExpectSlots("IPlugView", 3, &IPlugView::isPlatformTypeSupported, &IPlugView::attached,
                &IPlugView::removed, &IPlugView::onWheel, &IPlugView::onKeyDown,
                &IPlugView::onKeyUp, &IPlugView::getSize, &IPlugView::onSize, &IPlugView::onFocus,
                &IPlugView::setFrame, &IPlugView::canResize, &IPlugView::checkSizeConstraint);
    ExpectSlots("IPlugFrame", 3, &IPlugFrame::resizeView);
    ExpectSlots("IPlugViewContentScaleSupport", 3,
                &IPlugViewContentScaleSupport::setContentScaleFactor);
    ExpectSlots("IRunLoop", 3, &IRunLoop::registerEventHandler, &IRunLoop::unregisterEventHandler,
                &IRunLoop::registerTimer, &IRunLoop::unregisterTimer);
    ExpectSlots("IEventHandler", 3, &IEventHandler::onFDIsSet);
    ExpectSlots("ITimerHandler", 3, &ITimerHandler::onTimer);
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
    EXPECT_EQ(stream.Bytes(), std::vector<char>(bytes, bytes + 5));
    EXPECT_EQ(written, 5);

    HostComponentHandler handler;
    void* asHandler = static_cast<IComponentHandler*>(&handler);
    EXPECT_EQ((CallSlot<tresult, ParamID, ParamValue>(asHandler, 4, ParamID{7}, 0.25)), kResultOk);
    ASSERT_EQ(handler.Calls().size(), 1u);
    EXPECT_EQ(handler.Calls()[0].kind, HandlerCall::PerformEdit);
    EXPECT_EQ(handler.Calls()[0].id, 7u);
    EXPECT_EQ(handler.Calls()[0].value, 0.25);
}

// The references the plug-in keeps, or returns too often, fail the test.
TEST(HostObject, ReferencesThePluginKeepsOrReturnsTooOftenFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            void* kept = nullptr;
            stream.queryInterface(IBStream::kIid.data(), &kept);
        },
        "still holds 1 references to the memory stream");
    EXPECT_NONFATAL_FAILURE(
        {
            MemoryStream stream;
            stream.release();
        },
        "released the memory stream more often");
}

} // namespace
