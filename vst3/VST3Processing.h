#pragma once

// The processing side: the component with its buses, the audio processor and the
// records of a process call. Threads are the published ones: everything on the host's
// UI thread except process (audio thread) and setProcessing (either).

#include "VST3Base.h"

namespace vst3 {

using MediaType = int32_t;
using BusDirection = int32_t;
using BusType = int32_t;
using IoMode = int32_t;
using UnitID = int32_t;
using ParamID = uint32_t; // plug-in IDs 0..0x7FFFFFFF; the rest belong to the host
using ParamValue = double;
using SampleRate = double;
using TQuarterNotes = double;
using Sample32 = float;
using Sample64 = double;
using SpeakerArrangement = uint64_t; // one bit per speaker
using Speaker = uint64_t;

inline constexpr ParamID kNoParamId = 0xFFFFFFFF;

enum MediaTypes : MediaType {
    kAudio = 0,
    kEvent = 1,
};

enum BusDirections : BusDirection {
    kInput = 0,
    kOutput = 1,
};

// Main buses come before auxiliary ones (a side-chain is auxiliary).
enum BusTypes : BusType {
    kMain = 0,
    kAux = 1,
};

enum IoModes : IoMode {
    kSimple = 0,
    kAdvanced = 1,
    kOfflineProcessing = 2,
};

enum ProcessModes : int32_t {
    kRealtime = 0,
    kPrefetch = 1,
    kOffline = 2,
};

enum SymbolicSampleSizes : int32_t {
    kSample32 = 0,
    kSample64 = 1,
};

inline constexpr uint32_t kNoTail = 0;
inline constexpr uint32_t kInfiniteTail = 0xFFFFFFFF;

inline constexpr Speaker kSpeakerL = 1u << 0;
inline constexpr Speaker kSpeakerR = 1u << 1;
inline constexpr Speaker kSpeakerC = 1u << 2;
inline constexpr Speaker kSpeakerM = 1u << 19;

// A bus carries as many channels as its arrangement has bits set.
namespace SpeakerArr {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = kSpeakerM;
inline constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
} // namespace SpeakerArr

struct BusInfo {
    // kDefaultActive is only a wish: a host may activate the first bus alone.
    enum BusFlags : uint32_t {
        kDefaultActive = 1,
        kIsControlVoltage = 2,
    };

    MediaType mediaType;
    BusDirection direction;
    int32_t channelCount; // the speaker count of the bus's arrangement
    String128 name;
    BusType busType;
    uint32_t flags;
};
static_assert(sizeof(BusInfo) == 276 && alignof(BusInfo) == 4);
static_assert(offsetof(BusInfo, direction) == 4);
static_assert(offsetof(BusInfo, channelCount) == 8);
static_assert(offsetof(BusInfo, name) == 12);
static_assert(offsetof(BusInfo, busType) == 268);
static_assert(offsetof(BusInfo, flags) == 272);

struct RoutingInfo {
    MediaType mediaType;
    int32_t busIndex;
    int32_t channel; // -1 for all
};
static_assert(sizeof(RoutingInfo) == 12);
static_assert(offsetof(RoutingInfo, busIndex) == 4);
static_assert(offsetof(RoutingInfo, channel) == 8);

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    SampleRate sampleRate;
};
static_assert(sizeof(ProcessSetup) == 24 && alignof(ProcessSetup) == 8);
static_assert(offsetof(ProcessSetup, symbolicSampleSize) == 4);
static_assert(offsetof(ProcessSetup, maxSamplesPerBlock) == 8);
static_assert(offsetof(ProcessSetup, sampleRate) == 16);

// One per declared audio bus. The channel array is always there; the channel pointers
// of an inactive bus may be null, and input and output pointers may be the same.
struct AudioBusBuffers {
    int32_t numChannels;
    uint64_t silenceFlags; // one bit per channel
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};
// 8-aligned on 32-bit Windows too: the 64-bit field decides, and the pointer is padded.
static_assert(sizeof(AudioBusBuffers) == 24 && alignof(AudioBusBuffers) == 8);
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8);
static_assert(offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(offsetof(AudioBusBuffers, channelBuffers64) == 16);

struct Chord {
    uint8_t keyNote;
    uint8_t rootNote;
    int16_t chordMask;
};
static_assert(sizeof(Chord) == 4);

struct FrameRate {
    enum FrameRateFlags : uint32_t {
        kPullDownRate = 1,
        kDropRate = 2,
    };

    uint32_t framesPerSecond;
    uint32_t flags;
};
static_assert(sizeof(FrameRate) == 8);

// The transport, when the host passes one; each field counts only if its bit is in state.
struct ProcessContext {
    enum StatesAndFlags : uint32_t {
        kPlaying = 0x2,
        kCycleActive = 0x4,
        kRecording = 0x8,
        kSystemTimeValid = 0x100,
        kProjectTimeMusicValid = 0x200,
        kTempoValid = 0x400,
        kBarPositionValid = 0x800,
        kCycleValid = 0x1000,
        kTimeSigValid = 0x2000,
        kSmpteValid = 0x4000,
        kClockValid = 0x8000,
        kContTimeValid = 0x20000,
        kChordValid = 0x40000,
    };

    uint32_t state;
    SampleRate sampleRate;
    TSamples projectTimeSamples;
    int64_t systemTime; // nanoseconds
    TSamples continousTimeSamples;
    TQuarterNotes projectTimeMusic;
    TQuarterNotes barPositionMusic;
    TQuarterNotes cycleStartMusic;
    TQuarterNotes cycleEndMusic;
    double tempo;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    Chord chord;
    int32_t smpteOffsetSubframes;
    FrameRate frameRate;
    int32_t samplesToNextClock;
};
static_assert(sizeof(ProcessContext) == 112 && alignof(ProcessContext) == 8);
static_assert(offsetof(ProcessContext, sampleRate) == 8);
static_assert(offsetof(ProcessContext, projectTimeSamples) == 16);
static_assert(offsetof(ProcessContext, systemTime) == 24);
static_assert(offsetof(ProcessContext, continousTimeSamples) == 32);
static_assert(offsetof(ProcessContext, projectTimeMusic) == 40);
static_assert(offsetof(ProcessContext, barPositionMusic) == 48);
static_assert(offsetof(ProcessContext, cycleStartMusic) == 56);
static_assert(offsetof(ProcessContext, cycleEndMusic) == 64);
static_assert(offsetof(ProcessContext, tempo) == 72);
static_assert(offsetof(ProcessContext, timeSigNumerator) == 80);
static_assert(offsetof(ProcessContext, timeSigDenominator) == 84);
static_assert(offsetof(ProcessContext, chord) == 88);
static_assert(offsetof(ProcessContext, smpteOffsetSubframes) == 92);
static_assert(offsetof(ProcessContext, frameRate) == 96);
static_assert(offsetof(ProcessContext, samplesToNextClock) == 104);

// The automation of one parameter within one block: points (sampleOffset, normalized
// value) in time order, a piecewise-linear curve starting from the previous block's
// last value. The host owns the queue; the processor may add points to output queues.
class IParamValueQueue : public FUnknown {
public:
    virtual ParamID PLUGIN_API getParameterId() = 0;
    virtual int32_t PLUGIN_API getPointCount() = 0;
    virtual tresult PLUGIN_API getPoint(int32_t index, int32_t* sampleOffset,
                                        ParamValue* value) = 0;
    virtual tresult PLUGIN_API addPoint(int32_t sampleOffset, ParamValue value, int32_t* index) = 0;

    static constexpr Uid kIid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

protected:
    ~IParamValueQueue() = default;
};

// One queue per parameter that changed in the block. The queues are borrowed: no
// reference is added for the caller, so never release them.
class IParameterChanges : public FUnknown {
public:
    virtual int32_t PLUGIN_API getParameterCount() = 0;
    virtual IParamValueQueue* PLUGIN_API getParameterData(int32_t index) = 0;
    virtual IParamValueQueue* PLUGIN_API addParameterData(const ParamID* id, int32_t* index) = 0;

    static constexpr Uid kIid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

protected:
    ~IParameterChanges() = default;
};

// Its record is left undeclared: without an event bus, Quelor never reads one.
struct Event;

class IEventList : public FUnknown {
public:
    virtual int32_t PLUGIN_API getEventCount() = 0;
    virtual tresult PLUGIN_API getEvent(int32_t index, Event* e) = 0;
    virtual tresult PLUGIN_API addEvent(Event* e) = 0;

    static constexpr Uid kIid = MakeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);

protected:
    ~IEventList() = default;
};

// One process call. With numSamples 0 and no buses it only flushes parameter changes.
// Changes, events and the context may be null.
struct ProcessData {
    int32_t processMode; // may differ from the set-up's (offline renders)
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs; // trailing inactive buses may be left out
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};
inline constexpr bool kWidePointers = sizeof(void*) == 8;
static_assert(sizeof(ProcessData) == (kWidePointers ? 80 : 48));
static_assert(alignof(ProcessData) == (kWidePointers ? 8 : 4));
static_assert(offsetof(ProcessData, numOutputs) == 16);
static_assert(offsetof(ProcessData, inputs) == (kWidePointers ? 24 : 20));
static_assert(offsetof(ProcessData, outputs) == (kWidePointers ? 32 : 24));
static_assert(offsetof(ProcessData, inputParameterChanges) == (kWidePointers ? 40 : 28));
static_assert(offsetof(ProcessData, outputParameterChanges) == (kWidePointers ? 48 : 32));
static_assert(offsetof(ProcessData, inputEvents) == (kWidePointers ? 56 : 36));
static_assert(offsetof(ProcessData, outputEvents) == (kWidePointers ? 64 : 40));
static_assert(offsetof(ProcessData, processContext) == (kWidePointers ? 72 : 44));

// The component: buses, activation and state. A single-object plug-in is also the
// edit controller, whose setState/getState/initialize/terminate share these names.
class IComponent : public IPluginBase {
public:
    // Writes nothing and answers kNotImplemented when the component is its own controller.
    virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;
    virtual tresult PLUGIN_API setIoMode(IoMode mode) = 0; // before initialize
    virtual int32_t PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32_t index,
                                          BusInfo* bus) = 0;
    virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;
    // Set up and inactive.
    virtual tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32_t index,
                                           TBool state) = 0;
    virtual tresult PLUGIN_API setActive(TBool state) = 0;
    // Any state, also while processing: read and write at the stream's current position.
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;

    static constexpr Uid kIid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

protected:
    ~IComponent() = default;
};

// The worked example of the identifier layout. The GUID layout goes with COM's result
// codes, so a platform header that mixed the two up fails here.
static_assert(IComponent::kIid ==
              (platform::kNoInterface != -1
                   ? UidFromBytes("31 FF 31 E8 D5 F2 01 43 92 8E BB EE 25 69 78 02")
                   : UidFromBytes("E8 31 FF 31 F2 D5 43 01 92 8E BB EE 25 69 78 02")));

class IAudioProcessor : public FUnknown {
public:
    // Inactive. The arrays may be null with a count of 0; once accepted, getBusArrangement
    // must answer exactly what was asked.
    virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                  SpeakerArrangement* outputs, int32_t numOuts) = 0;
    virtual tresult PLUGIN_API getBusArrangement(BusDirection dir, int32_t index,
                                                 SpeakerArrangement* arr) = 0;
    virtual tresult PLUGIN_API canProcessSampleSize(int32_t symbolicSampleSize) = 0;
    virtual uint32_t PLUGIN_API getLatencySamples() = 0;
    virtual tresult PLUGIN_API setupProcessing(ProcessSetup* setup) = 0; // inactive
    // Active; UI or audio thread; allocates nothing.
    virtual tresult PLUGIN_API setProcessing(TBool state) = 0;
    virtual tresult PLUGIN_API process(ProcessData* data) = 0; // audio thread
    virtual uint32_t PLUGIN_API getTailSamples() = 0;

    static constexpr Uid kIid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

protected:
    ~IAudioProcessor() = default;
};

// Which ProcessContext fields the processor reads; asked once between initialize and
// setActive. A compressor needs none and answers 0.
class IProcessContextRequirements : public FUnknown {
public:
    enum Flags : uint32_t {
        kNeedSystemTime = 1,
        kNeedContinousTimeSamples = 2,
        kNeedProjectTimeMusic = 4,
        kNeedBarPositionMusic = 8,
        kNeedCycleMusic = 16,
        kNeedSamplesToNextClock = 32,
        kNeedTempo = 64,
        kNeedTimeSignature = 128,
        kNeedChord = 256,
        kNeedFrameRate = 512,
        kNeedTransportState = 1024,
    };

    virtual uint32_t PLUGIN_API getProcessContextRequirements() = 0;

    static constexpr Uid kIid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

protected:
    ~IProcessContextRequirements() = default;
};

// Declared so that a query for it can be recognised and refused.
class IAudioPresentationLatency : public FUnknown {
public:
    virtual tresult PLUGIN_API setAudioPresentationLatencySamples(BusDirection dir,
                                                                  int32_t busIndex,
                                                                  uint32_t latencyInSamples) = 0;

    static constexpr Uid kIid = MakeUid(0x309ECE78, 0xEB7D4FAE, 0x8B2225D9, 0x09FD08B6);

protected:
    ~IAudioPresentationLatency() = default;
};

} // namespace vst3
