// What every format's adapter shares below it: a host's value to a parameter, the program
// state's bytes and how a state cut short is applied, the sample rates taken, and the
// editor's edits on their way to the host.
#include "../HostPolicyCases.h"
#include "EffectTestSupport.h"
#include "IDrawContext.h"
#include "Quelor.h"
#include "QuelorEditorFactory.h"
#include "QuelorEntry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(HostValues, RealAndNormalizedValuesLandOnTheTableAsEveryFormatSetsThem) {
    const Quelor table;
    const struct {
        int index;
        double value;
        IValueUnit unit;
        double taken;
    } cases[] = {
        // Whole steps for choices, by the same rounding in both units.
        {Quelor::kStereoMode, 1.4, IValueUnit::kReal, 1.0},
        {Quelor::kStereoMode, 1.5, IValueUnit::kReal, 2.0},
        {Quelor::kStereoMode, 0.7, IValueUnit::kNormalized, 1.0},
        {Quelor::kStereoMode, 0.76, IValueUnit::kNormalized, 2.0},
        {Quelor::kSidechainInput, -3.0, IValueUnit::kReal, 0.0},
        {Quelor::kBrickwall, 1.0e9, IValueUnit::kReal, 1.0},
        // Continuous values are not snapped: a real value is taken exactly.
        {Quelor::kThreshold, -30.04, IValueUnit::kReal, -30.04},
        {Quelor::kMix, 0.25, IValueUnit::kNormalized, 25.0},
        // Past the ends and not numbers.
        {Quelor::kThreshold, kNaN, IValueUnit::kReal, -60.0},
        {Quelor::kGain, -kInf, IValueUnit::kReal, 0.0},
        {Quelor::kAttack, kInf, IValueUnit::kReal, 300.0},
        {Quelor::kStereoMode, kNaN, IValueUnit::kReal, 0.0},
        {Quelor::kRatio, kNaN, IValueUnit::kNormalized, 30.0},
        {Quelor::kRatio, 2.0, IValueUnit::kNormalized, 30.0},
    };
    for (const auto& c : cases) {
        const IParameter& parameter = *table.ParameterAt(c.index);
        const double taken = c.unit == IValueUnit::kReal ? parameter.ValueFromReal(c.value)
                                                         : parameter.ValueFromNormalized(c.value);
        EXPECT_EQ(taken, c.taken) << parameter.NameForHost() << " " << c.value;
        Quelor effect;
        effect.SetParameterFromHost(c.index, c.value, c.unit);
        EXPECT_EQ(effect.ParameterAt(c.index)->Value(), c.taken) << parameter.NameForHost();
    }
}

// Counts the reactions and what the editor is shown.
class CountingQuelor : public Quelor {
public:
    void ParameterChanged(int index) override {
        Quelor::ParameterChanged(index);
        ++changes;
    }
    int changes = 0;
};

class PushCounter : public IEditorLink {
public:
    explicit PushCounter(int& count) : pushes(count) {}
    void PushParamToControls(int, double, bool) override { ++pushes; }
    void CreateDrawSurface() override {}
    void SetControlValue(int, double) override {}

private:
    int& pushes;
};

TEST(HostValues, AValueTheParameterHoldsAlreadyChangesNothing) {
    CountingQuelor effect;
    int pushes = 0;
    effect.AttachEditor(new PushCounter(pushes));
    pushes = 0;
    EXPECT_TRUE(effect.SetParameterFromHost(Quelor::kGain, 6.0, IValueUnit::kReal));
    EXPECT_EQ(std::pair(effect.changes, pushes), std::pair(1, 1));
    // The echo, in either unit, and a value the step rounds onto the one held.
    const double normalized = effect.ParameterAt(Quelor::kGain)->Normalized();
    EXPECT_FALSE(effect.SetParameterFromHost(Quelor::kGain, 6.0, IValueUnit::kReal));
    EXPECT_FALSE(effect.SetParameterFromHost(Quelor::kGain, normalized, IValueUnit::kNormalized));
    EXPECT_FALSE(effect.SetParameterFromHost(Quelor::kStereoMode, 0.2, IValueUnit::kReal));
    EXPECT_FALSE(effect.SetParameterFromHost(Quelor::kParameterCount, 1.0, IValueUnit::kReal));
    EXPECT_EQ(std::pair(effect.changes, pushes), std::pair(1, 1));
}

// A program state of Quelor with every value away from its default.
StateChunk SavedState() {
    Quelor source;
    for (int i = 0; i < Quelor::kParameterCount; ++i)
        source.SetParameterFromHost(i, 0.75, IValueUnit::kNormalized);
    StateChunk chunk;
    EXPECT_TRUE(source.SaveProgramState(chunk));
    return chunk;
}

std::vector<double> ValuesOf(IEffectBase& effect) {
    std::vector<double> values;
    for (int i = 0; i < effect.ParameterCount(); ++i)
        values.push_back(effect.ParameterAt(i)->Value());
    return values;
}

TEST(ProgramState, ReadAndAppliedAsEffSetChunkAnswers) {
    const StateChunk saved = SavedState();
    ASSERT_EQ(saved.Size(), 8 + 96);
    const auto bytes = [&](int from, int count) {
        return std::vector<uint8_t>(saved.Data() + from, saved.Data() + from + count);
    };
    std::vector<uint8_t> longer = bytes(0, 104);
    longer.insert(longer.end(), {1, 2, 3, 4, 5});
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        IStateRead read;
    } cases[] = {
        {"empty", {}, IStateRead::kPartial},
        {"header only", bytes(0, 8), IStateRead::kPartial},
        {"header cut short", bytes(0, 6), IStateRead::kUnreadable},
        {"short by one byte", bytes(0, 103), IStateRead::kPartial},
        {"96 bytes without the header", bytes(8, 96), IStateRead::kWhole},
        {"the state", bytes(0, 104), IStateRead::kWhole},
        {"longer than needed", longer, IStateRead::kWhole},
    };
    for (const auto& c : cases) {
        StateChunk chunk;
        ASSERT_TRUE(chunk.Assign(c.bytes.data(), static_cast<int>(c.bytes.size())));
        Quelor applying;
        IProgramState state;
        EXPECT_EQ(applying.ReadProgramState(chunk, state), c.read) << c.name;
        const bool whole = c.read == IStateRead::kWhole;
        EXPECT_EQ(applying.ApplyProgramState(state), whole) << c.name;

        // The VST 2 module's effSetChunk: the same answer and the same values.
        const std::unique_ptr<IEffectVST> plug(MakeQuelorVST(nullptr));
        AEffect* record = plug->Record();
        uint8_t none = 0; // an empty chunk still comes with a pointer
        void* data = c.bytes.empty() ? &none : const_cast<uint8_t*>(c.bytes.data());
        const intptr_t answer = record->dispatcher(
            record, effSetChunk, 1, static_cast<intptr_t>(c.bytes.size()), data, 0.0f);
        EXPECT_EQ(answer, whole ? 1 : 0) << c.name;
        // An empty state holds nothing, and in every format it changes nothing.
        Quelor untouched;
        EXPECT_EQ(ValuesOf(plug->Effect()), ValuesOf(c.bytes.empty() ? untouched : applying))
            << c.name;
    }
}

TEST(ProgramState, SavedAsTheVst2ProgramChunk) {
    const std::unique_ptr<IEffectVST> plug(MakeQuelorVST(nullptr));
    AEffect* record = plug->Record();
    record->setParameter(record, Quelor::kThreshold, 0.25f);
    void* data = nullptr;
    const intptr_t size = record->dispatcher(record, effGetChunk, 1, 0, &data, 0.0f);
    StateChunk saved;
    ASSERT_TRUE(plug->Effect().SaveProgramState(saved));
    ASSERT_EQ(size, saved.Size());
    EXPECT_EQ(std::memcmp(data, saved.Data(), static_cast<std::size_t>(size)), 0);
    EXPECT_EQ(std::memcmp(saved.Data(), "tffp", 4), 0);
}

// A host that logs the editor's edits as they arrive, and whether the plug-in lock is
// held then.
class EditLog : public IEffectHost {
public:
    explicit EditLog(IEffectBase& effect) : plug(effect) { plug.ConnectHost(this); }
    ~EditLog() override { plug.ConnectHost(nullptr); }
    void EditBegin(int index) override { Add("begin " + std::to_string(index)); }
    void EditValue(int index, double normalized, double value) override {
        // The real value is the parameter's own for the normalized one.
        const bool consistent = plug.ParameterAt(index)->ValueFromNormalized(normalized) == value;
        Add("value " + std::to_string(index) + (consistent ? "" : " inconsistent"));
        last = value;
    }
    void EditEnd(int index) override { Add("end " + std::to_string(index)); }

    std::vector<std::string> log;
    double last = kNaN;

private:
    void Add(std::string entry) {
        if (plug.Lock().HeldByThisThread())
            entry += " under the lock";
        if (log.empty() || log.back() != entry)
            log.push_back(entry);
    }
    IEffectBase& plug;
};

TEST(EditorEdits, ReachTheHostInTheOrderTheUserActedWithBothValuesAndNeverUnderTheLock) {
    Quelor effect(&QuelorEditorFactory());
    EditLog host(effect);
    effect.EnsureEditor();
    auto* panel = dynamic_cast<IDrawContext*>(effect.Editor());
    ASSERT_NE(panel, nullptr);
    // A drag up on "Threshold" from its middle, then a click on "Brickwall".
    effect.SetParameterFromHost(Quelor::kThreshold, -30.0, IValueUnit::kReal);
    panel->MousePressed(54, 214, IMouseKeys{true});
    for (int y = 210; y >= 166; y -= 4)
        panel->MouseDragged(54, y, IMouseKeys{true});
    panel->MouseReleased(54, 166);
    EXPECT_EQ(host.last, effect.ParameterAt(Quelor::kThreshold)->Value());
    EXPECT_NEAR(host.last, -15.0, 1e-9);
    panel->MousePressed(280, 300, IMouseKeys{true});
    panel->MouseReleased(280, 300);
    EXPECT_EQ(host.log, (std::vector<std::string>{"begin 6", "value 6", "end 6", "begin 11",
                                                  "value 11", "end 11"}));
    EXPECT_EQ(host.last, Quelor::kBrickwallOn);
}

// effSetSampleRate has no answer: a refused rate leaves the one in force.
TEST(HostPolicy, Vst2SampleRatesAreTakenOrLeftAsEveryFormatAnswers) {
    for (const HostRateCase& c : kHostRateCases) {
        const std::unique_ptr<IEffectVST> plug(MakeQuelorVST(nullptr));
        AEffect* record = plug->Record();
        const double before = plug->Effect().SampleRate();
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, static_cast<float>(c.rate));
        EXPECT_EQ(plug->Effect().SampleRate(), c.accepted ? c.rate : before) << c.rate;
    }
}

} // namespace
