// The adapter behind a small test effect, for the paths Quelor never takes.
#include "CheckerHost.h"
#include "HostPolicy.h"
#include "IEffectVST.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// The test effects' identity, for parameter count, configurations and chunks.
EffectIdentity Identity(int parameters, const char* configurations, bool chunks) {
    return {parameters,
            configurations,
            1,
            "Tester",
            "Test Product",
            "Test Maker",
            0x00010203,
            FourCharCode("Tst1"),
            FourCharCode("TstM"),
            0,
            chunks,
            false};
}
const EffectIdentity kIdentity = Identity(3, "1-1 2-2 4-2", false);

class TestEffect : public IEffectBase {
public:
    explicit TestEffect(const IEditorFactory* panel = nullptr,
                        const EffectIdentity& identity = kIdentity)
        : IEffectBase(identity, panel) {
        ParameterAt(0)->SetupContinuous("Level", 0.0, 0.0, 1.0, 0.01, "");
        ParameterAt(1)->SetupContinuous("Size", 0.0, -10.0, 10.0, 0.1, "");
        ParameterAt(2)->SetupChoice("Steps", 0, 31);
    }
    void ParameterChanged(int index) override {
        IEffectBase::ParameterChanged(index);
        changes.push_back(index);
    }

    std::vector<int> changes;
};

// The adapter owning a test effect, as a product joins them.
template <class Effect = TestEffect> class TestPlug {
public:
    explicit TestPlug(bool midi = false, std::unique_ptr<Effect> owned = nullptr)
        : adapter(std::make_unique<IEffectVST>(
              CheckerHost::Callback(), owned ? std::move(owned) : std::make_unique<Effect>(),
              midi)),
          effect(static_cast<Effect&>(adapter->Effect())) {}
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return Record()->dispatcher(Record(), opcode, index, value, ptr, opt);
    }
    AEffect* Record() { return adapter->Record(); }

    std::unique_ptr<IEffectVST> adapter;
    Effect& effect;
};

// An editor with a window, recording what the plug-in tells it.
class TestEditor : public IEditorLink, public IEditorWindow {
public:
    explicit TestEditor(const IEffectBase* owner) : plug(owner) {}
    void PushParamToControls(int index, double value, bool isNormalized) override {
        pushes.push_back({value, isNormalized, plug->ParameterAt(index)->Value()});
    }
    void CreateDrawSurface() override { surfaceMade = true; }
    void SetControlValue(int, double) override {}
    int EditorWidth() const override { return width; }
    int EditorHeight() const override { return height; }
    void* OpenEditorWindow(void* parent) override {
        openedWith = parent;
        return openFails ? nullptr : this;
    }
    void CloseEditorWindow() override { ++closes; }

    struct Push {
        double value;
        bool normalized;
        double parameterValueThen;
        bool operator==(const Push&) const = default;
    };
    const IEffectBase* plug;
    std::vector<Push> pushes;
    bool surfaceMade = false;
    int width = 510;
    int height = 370;
    void* openedWith = nullptr;
    bool openFails = false;
    int closes = 0;
};

// setParameter shows the editor the normalized value before the change, a text the exact
// value in real units; either makes the effect react once, and the host hears of neither.
TEST(AdapterParameters, SetParameterAndTextsShowTheEditorFirstAndReactOnceOrNotAtAll) {
    CheckerHost host;
    TestPlug<> plug;
    auto* editor = new TestEditor(&plug.effect);
    plug.effect.AttachEditor(editor);
    editor->pushes.clear();
    plug.effect.changes.clear();
    plug.Record()->setParameter(plug.Record(), 2, 0.5f);
    EXPECT_EQ(plug.effect.ParameterAt(2)->Value(), 15.0);
    // A host echoing the value back, or one the step rounds to it, changes nothing.
    plug.Record()->setParameter(plug.Record(), 2, 0.5f);
    plug.Record()->setParameter(plug.Record(), 2, 0.51f);
    char text[] = " -2.55 ";
    EXPECT_EQ(plug.Dispatch(effString2Parameter, 1, 0, text), 1);
    EXPECT_EQ(plug.effect.ParameterAt(1)->Value(), -2.55);
    // A null text asks whether the parameter takes texts.
    for (int32_t index : {-1, 0, 2, 3})
        EXPECT_EQ(plug.Dispatch(effString2Parameter, index, 0, nullptr), index >= 0 && index < 3)
            << index;
    EXPECT_EQ(plug.effect.changes, (std::vector<int>{2, 1}));
    // Each push holds the parameter's value from before its change.
    EXPECT_EQ(editor->pushes,
              (std::vector<TestEditor::Push>{{0.5, true, 0.0}, {-2.55, false, 0.0}}));
    EXPECT_TRUE(host.Calls().empty());
}

// The editor the factory below builds, kept for the test to look at.
TestEditor* gBuiltEditor = nullptr;

IEditorLink* BuildTestEditor(IEffectBase& effect) {
    gBuiltEditor = new TestEditor(&effect);
    return gBuiltEditor;
}

TEST(AdapterEditor, AnnouncedFromTheStartAndBuiltWhenTheHostFirstOpensIt) {
    CheckerHost host;
    const IEditorFactory factory{510, 370, BuildTestEditor};
    gBuiltEditor = nullptr;
    TestPlug<> plug(false, std::make_unique<TestEffect>(&factory));
    EXPECT_EQ(plug.Record()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}),
              std::vector<int>({0, 0, 370, 510}));
    EXPECT_EQ(plug.Dispatch(effEditClose), 1) << "closing what was never opened";
    EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
    EXPECT_EQ(gBuiltEditor, nullptr) << "nothing built before the host opens it";
    int parent = 0;
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, &parent), 1);
    TestEditor* editor = gBuiltEditor;
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->surfaceMade);
    EXPECT_EQ(editor->openedWith, &parent);
    editor->openFails = true;
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(gBuiltEditor, editor) << "built once, kept";
    EXPECT_EQ(plug.Dispatch(effEditClose), 1);
    EXPECT_EQ(editor->closes, 1);
    editor->width = 600;
    editor->height = 100000; // held to what the rectangle can carry
    EXPECT_TRUE(plug.effect.EditorSizeChanged(0, 0));
    EXPECT_EQ(rect->right, 600);
    EXPECT_EQ(rect->bottom, 0x7FFF);

    // Without a factory an editor attached by hand is fed values, but no host hears of it.
    class Bare : public IEditorLink {
        void PushParamToControls(int, double, bool) override {}
        void CreateDrawSurface() override {}
        void SetControlValue(int, double) override {}
    };
    TestPlug<> bare;
    bare.effect.AttachEditor(new Bare);
    EXPECT_EQ(bare.Record()->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(bare.Dispatch(effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(bare.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_FALSE(bare.effect.EditorSizeChanged(1, 1));
}

// effOpen asks for the host's product, and for its version only where it names one, once.
// Versions are packed and odd ones coped with; hosts that route only a stereo pair in get
// two inputs, and only two are read.
TEST(AdapterHost, ProductAndVersionAreAskedOnceAndDecideVersionAndInputs) {
    CheckerHost host;
    const struct {
        const char* product;
        intptr_t version;
        int packed; // -1: any that is not negative
        bool stereoOnly;
    } cases[] = {{"Bitwig", 2100, 0x00001500, false},
                 {"Forte", -5, 0, true},
                 {"Adobe Audition", 10203, 0x00010203, true},
                 {"Orion Platinum", intptr_t{1} << 40, -1, true},
                 {"SAWStudio", 2100, 0x00001500, true},
                 {"", 2100, 0, false}};
    for (const auto& c : cases) {
        host.productText = c.product;
        host.vendorVersion = c.version;
        host.ClearLog();
        TestPlug<> plug;
        plug.Dispatch(effOpen);
        plug.Dispatch(effOpen);
        std::vector<int32_t> asked;
        for (const HostCall& call : host.Calls())
            asked.push_back(call.opcode);
        std::vector<int32_t> expected{audioMasterGetProductString};
        if (*c.product)
            expected.push_back(audioMasterGetVendorVersion);
        EXPECT_EQ(asked, expected) << '"' << c.product << '"';
        if (c.packed < 0)
            EXPECT_GE(plug.effect.HostVersion(), 0) << c.version;
        else
            EXPECT_EQ(plug.effect.HostVersion(), c.packed) << c.version;
        EXPECT_EQ(plug.adapter->Runtime().BusChannels(BusDirection::kInput, 0),
                  c.stereoOnly ? 2 : 4)
            << c.product;
        if (c.stereoOnly) { // exactly two pointers, so a read past them shows
            std::vector<double> samples(8, 0.5);
            double* ins[2] = {samples.data(), samples.data()};
            double* outs[2] = {samples.data(), samples.data()};
            plug.Record()->processDoubleReplacing(plug.Record(), ins, outs, 8);
        }
    }
}

// MIDI comes back one event per call, in the order the host sent it, every call made
// without the plug-in lock: a MIDI event as a new one of ours holding only the time and
// three bytes, any other as the host's own. More than one entry collects are sent in
// batches, a null entry is skipped, a refusal stops nothing and a negative count sends
// nothing. A MIDI effect asks for MIDI at every block, and says it does MIDI.
TEST(AdapterMidi, EventsComeBackInOrderOneACallAndNeverUnderTheLock) {
    CheckerHost host;
    TestPlug<> plug(true);
    std::vector<int32_t> underLock;
    host.reaction = [&](const HostCall& call) {
        if (plug.effect.Lock().HeldByThisThread())
            underLock.push_back(call.opcode);
    };
    plug.Dispatch(effOpen);
    std::vector<double> buffer(8);
    double* ins[4] = {buffer.data(), buffer.data(), buffer.data(), buffer.data()};
    double* outs[2] = {buffer.data(), buffer.data()};
    plug.Record()->processDoubleReplacing(plug.Record(), ins, outs, 8);
    plug.Record()->processDoubleReplacing(plug.Record(), ins, outs, 8);
    EXPECT_EQ(host.CountOf(audioMasterWantMidi), 2);
    constexpr int kEvents = 151;
    std::vector<VstMidiEvent> incoming(kEvents);
    struct {
        int32_t numEvents;
        intptr_t reserved;
        VstEvent* events[kEvents];
    } list{kEvents, 0, {}};
    for (int i = 0; i < kEvents; ++i) {
        VstMidiEvent& event = incoming[static_cast<std::size_t>(i)];
        event = {i % 2 ? 6 : kVstMidiType, sizeof event, i, 0, 77, 0, {}, 0, 0, 0, 0};
        std::memcpy(event.midiData, "\x80\x40\x01\x7F", 4);
        list.events[i] = i == 1 ? nullptr : reinterpret_cast<VstEvent*>(&event);
    }
    plug.Dispatch(effProcessEvents, 0, 0, &list);
    plug.effect.SetParameterFromGUI(0, 0.5);
    plug.effect.NotifyHostEditBegin(0);
    plug.effect.NotifyHostEditEnd(0);
    EXPECT_TRUE(underLock.empty()) << "first under the lock: " << underLock.front();

    std::vector<int32_t> opcodes, delivered, expected;
    for (const HostCall& call : host.Calls()) {
        if (opcodes.empty() || opcodes.back() != call.opcode)
            opcodes.push_back(call.opcode);
        if (call.opcode != audioMasterProcessEvents)
            continue;
        ASSERT_EQ(call.events.size(), 1u);
        const int32_t at = call.events[0].deltaFrames;
        delivered.push_back(at);
        VstMidiEvent event;
        std::memcpy(&event, &call.events[0], sizeof event);
        if (event.type != kVstMidiType) {
            EXPECT_EQ(call.eventPointers[0], list.events[at]) << "passed unchanged";
            continue;
        }
        EXPECT_NE(call.eventPointers[0], list.events[at]) << "a new event, not the host's";
        EXPECT_EQ(event.byteSize, static_cast<int32_t>(sizeof event));
        EXPECT_EQ(event.noteLength, 0);
        EXPECT_EQ(std::memcmp(event.midiData, "\x80\x40\x01\x00", 4), 0);
    }
    EXPECT_EQ(opcodes, (std::vector<int32_t>{audioMasterGetProductString,
                                             audioMasterGetVendorVersion, audioMasterWantMidi,
                                             audioMasterProcessEvents, audioMasterAutomate,
                                             audioMasterBeginEdit, audioMasterEndEdit}));
    for (int i = 0; i < kEvents; ++i)
        if (i != 1)
            expected.push_back(i);
    EXPECT_EQ(delivered, expected);

    host.processEventsAnswer = 0;
    host.ClearLog();
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(host.CountOf(audioMasterProcessEvents), kEvents - 1) << "sent on after a refusal";
    list.numEvents = -5;
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(host.CountOf(audioMasterProcessEvents), kEvents - 1);
    for (const char* text :
         {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
        EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(text)), 1) << text;
}

// A program chunk made live is what the current program holds from then on: selecting
// that program again finds the chunk's values, not those from before it.
TEST(AdapterPrograms, AProgramChunkBecomesTheCurrentProgram) {
    CheckerHost host;
    // An effect that keeps its programs in chunks: a switch of programs stores nothing first.
    TestPlug<> plug(false, std::make_unique<TestEffect>(nullptr, Identity(3, "1-1 2-2", true)));
    AEffect* record = plug.Record();
    record->setParameter(record, 0, 0.25f);
    const uint8_t* lent = nullptr;
    const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &lent);
    ASSERT_EQ(size, 8 + 3 * 8);
    const std::vector<uint8_t> chunk(lent, lent + size);
    record->setParameter(record, 0, 0.75f);
    plug.Dispatch(effSetProgram); // the program takes the live 0.75
    EXPECT_EQ(plug.Dispatch(effSetChunk, 1, size, const_cast<uint8_t*>(chunk.data())), 1);
    EXPECT_EQ(record->getParameter(record, 0), 0.25f);
    plug.Dispatch(effSetProgram);
    EXPECT_EQ(record->getParameter(record, 0), 0.25f);
}

// The piece loop behind an effect that only counts what it is asked to process, for
// block lengths no host buffer could hold.
const EffectIdentity kCountingIdentity = Identity(0, "0-1", false);

class CountingEffect : public IEffectBase {
public:
    CountingEffect() : IEffectBase(kCountingIdentity) {}
    void ProcessBlock(double**, double** outputs, int frames) override {
        ++blocks;
        largest = std::max(largest, frames);
        total += frames;
        lastOutput = outputs[0];
    }
    long long total = 0;
    int largest = 0;
    int blocks = 0;
    const double* lastOutput = nullptr;
};

TEST(AdapterAudio, TheLongestHostBlockIsCoveredExactlyInPieces) {
    CheckerHost host;
    TestPlug<CountingEffect> plug;
    const CountingEffect& effect = plug.effect;
    AEffect* record = plug.Record();
    record->dispatcher(record, effSetBlockSize, 0, HostPolicy::kLargestBlockSize, nullptr, 0.0f);
    // Only pointers are bound on this path: the buffer is never touched.
    std::vector<double> buffer(1);
    double* outputs[1] = {buffer.data()};
    record->processDoubleReplacing(record, nullptr, outputs, INT32_MAX);
    EXPECT_EQ(effect.total, INT32_MAX);
    EXPECT_EQ(effect.largest, HostPolicy::kLargestBlockSize);
    EXPECT_EQ(effect.blocks, INT32_MAX / HostPolicy::kLargestBlockSize + 1);
    EXPECT_EQ(effect.lastOutput - buffer.data(),
              INT32_MAX - INT32_MAX % HostPolicy::kLargestBlockSize);
}

} // namespace
