#include "IEffectBase.h"
#include "IGraphicsWindow.h"
#include "Quelor.h"
#include "QuelorPanel.h"
#include "raster/RAS_Resources.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {
EffectIdentity Identity(const char* configurations, int parameters = 2, int presets = 1) {
    return {parameters, configurations, presets, "Effect", "Product", "Maker", 0x00010203,
            FourCharCode("Abcd"), FourCharCode("Mkr1"), 0, false, false};
}

// Logs the calls the base makes into the plug-in, its host and the editor.
class RecordingEffect : public IEffectBase, public IEffectHost {
public:
    RecordingEffect() : IEffectBase(Identity("2-2")) {
        ParameterAt(0)->SetupContinuous("A", 0, 0, 10, 1, "");
        ParameterAt(1)->SetupChoice("B", 0, 2);
        ConnectHost(this);
    }
    void ParameterChanged(int index) override {
        log.push_back("changed " + std::to_string(index) + " = " +
                      std::to_string(ParameterAt(index)->Value()));
    }
    void EditBegin(int index) override { log.push_back("begin " + std::to_string(index)); }
    void EditValue(int index, double normalized, double value) override {
        log.push_back("notify " + std::to_string(index) + " " + std::to_string(normalized) +
                      " " + std::to_string(value) + " while " +
                      std::to_string(ParameterAt(index)->Value()) +
                      (Lock().HeldByThisThread() ? " locked" : ""));
    }
    void EditEnd(int index) override { log.push_back("end " + std::to_string(index)); }
    std::vector<std::string> log;
};

class RecordingEditor : public IEditorLink {
public:
    explicit RecordingEditor(std::vector<std::string>& calls) : log(calls) {}
    ~RecordingEditor() override { log.push_back("editor destroyed"); }
    void PushParamToControls(int index, double value, bool isNormalized) override {
        log.push_back("push " + std::to_string(index) + " " + std::to_string(value) +
                      (isNormalized ? " normalized" : " real"));
    }
    void CreateDrawSurface() override { log.push_back("surface"); }
    void SetControlValue(int, double) override {}

private:
    std::vector<std::string>& log;
};
} // namespace

TEST(EffectBaseIdentity, ConfigurationsNamesAndVersions) {
    const std::string longName(200, 'n');
    EffectIdentity identity = Identity("1-1  2-2 3-1 4-2", 3, 2); // a double space is skipped
    identity.effectName = longName.c_str();
    const IEffectBase effect(identity);
    ASSERT_EQ(effect.ChannelConfigurationCount(), 4);
    EXPECT_EQ(effect.ChannelConfiguration(2).outputs, 1);
    EXPECT_EQ(effect.InputCount(), 4);
    for (const auto& [inputs, outputs, legal] :
         {std::tuple{1, -1, true}, {3, 2, false}, {-1, -1, true}, {5, -1, false}})
        EXPECT_EQ(effect.LegalIO(inputs, outputs), legal) << inputs << "-" << outputs;

    EXPECT_EQ(std::string(effect.EffectName()).size(), 127u);
    EXPECT_EQ(effect.EffectVersion(true), 10203);
    EXPECT_EQ(effect.UniqueId(), 0x41626364);
    EXPECT_EQ(effect.ParameterAt(3), nullptr);
    EXPECT_EQ(effect.ParameterAt(-1), nullptr);
    EXPECT_STREQ(effect.PresetName(1), "- 1 -");
    EXPECT_STREQ(effect.PresetName(2), "");
}

TEST(EffectBaseIdentityDeathTest, MalformedConfigurationsStopConstruction) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* expected = R"(sscanf\(channelIOStr, "%d-%d", &nIn, &nOut\) == 2)";
    for (const char* text : {"1-1 ", "stereo", ""})
        EXPECT_DEATH(IEffectBase(Identity(text)), expected) << '"' << text << '"';
}

TEST(EffectBaseChannels, UnconnectedInputsReadZerosAtEverySize) {
    IEffectBase effect(Identity("4-2"));
    effect.SetMaxBlockSize(4);
    effect.MarkInputsConnected(0, 4, true);
    // Widened samples sit in every scratch channel before two are disconnected.
    std::vector<float> host(4, 0.5f);
    std::vector<float*> pointers(4, host.data());
    effect.BindInputBuffers(0, 4, pointers.data(), 4);
    effect.MarkInputsConnected(2, 2, false);
    for (int size : {8, 64, 2048}) {
        effect.SetMaxBlockSize(size);
        for (int ch : {2, 3})
            for (int i = 0; i < size; ++i)
                ASSERT_EQ(effect.InputPointers()[ch][i], 0.0) << size << " ch " << ch << " " << i;
    }
}

TEST(EffectBaseChannels, MarkingIgnoresChannelsOutsideTheRange) {
    IEffectBase effect(Identity("4-2"));
    effect.MarkInputsConnected(3, 10, true);
    EXPECT_TRUE(effect.IsInputConnected(3));
    effect.MarkInputsConnected(-1, 3, true);
    effect.MarkInputsConnected(0, -2, true);
    effect.MarkInputsConnected(4, 1, true);
    EXPECT_FALSE(effect.IsInputConnected(0));
    EXPECT_FALSE(effect.IsInputConnected(4));
    effect.MarkInputsConnected(0, 4, true);
    effect.MarkInputsConnected(2, 2, false);
    EXPECT_TRUE(effect.IsInputConnected(1));
    EXPECT_FALSE(effect.IsInputConnected(2));
}

TEST(EffectBaseParameters, GuiChangeSetsAndReactsThenNotifiesTheHostOutsideTheLock) {
    RecordingEffect effect;
    effect.SetParameterFromGUI(0, 1.0);
    EXPECT_EQ(effect.log, (std::vector<std::string>{"changed 0 = 10.000000",
                                                    "notify 0 1.000000 10.000000 while 10.000000"}));
}

// The editor's way to the plug-in, where a host's value lands between the control taking
// the user's value and the plug-in setting it: that window, held open.
class HostValueMidGesture final : public IEditorParameters {
public:
    HostValueMidGesture(Quelor& effect, float value) : plug(effect), hostValue(value) {}
    void BeginParameterEdit(int) override {}
    void SetParameterFromEditor(int index, double normalized) override {
        plug.SetParameterFromHost(index, static_cast<double>(hostValue), IValueUnit::kNormalized);
        plug.SetParameterFromGUI(index, normalized);
    }
    void EndParameterEdit(int) override {}
    const IParameter* DescribeParameter(int index) const override {
        return plug.ParameterAt(index);
    }
    void PanelSizeChanged(int, int) override {}

private:
    Quelor& plug;
    float hostValue;
};

TEST(EffectBaseParameters, AHostValueLandingMidGestureLeavesTheControlShowingTheStoredOne) {
    Quelor effect;
    HostValueMidGesture racing(effect, 0.9f);
    auto* panel = new IGraphicsWindow(&racing, kQuelorPanelWidth, kQuelorPanelHeight,
                                      kQuelorPanelFps, RAS_OwnModule());
    LayOutQuelorPanel(*panel);
    effect.AttachEditor(panel);
    // The threshold knob, from 0 dB a quarter of its travel down.
    panel->MousePressed(54, 214, IMouseKeys{true});
    panel->MouseDragged(54, 262, IMouseKeys{true});
    panel->MouseReleased(54, 262);
    const double stored = effect.ParameterAt(Quelor::kThreshold)->Normalized();
    EXPECT_DOUBLE_EQ(stored, 0.75) << "the user's value, set last";
    EXPECT_DOUBLE_EQ(panel->ControlAt(5)->Value(), stored);
}

TEST(EffectBasePlugLock, KnowsWhetherTheCallingThreadHoldsIt) {
    PlugLock lock;
    EXPECT_FALSE(lock.HeldByThisThread());
    {
        ScopedPlugLock outer(lock);
        {
            ScopedPlugLock inner(lock);
            EXPECT_TRUE(lock.HeldByThisThread());
        }
        EXPECT_TRUE(lock.HeldByThisThread()) << "still held by the outer scope";
        bool elsewhere = true;
        std::thread([&] { elsewhere = lock.HeldByThisThread(); }).join();
        EXPECT_FALSE(elsewhere);
    }
    EXPECT_FALSE(lock.HeldByThisThread());
}

TEST(EffectBaseEditor, AttachPushesNormalizedValuesAndIsDestroyedFirst) {
    std::vector<std::string> log;
    {
        RecordingEffect effect;
        effect.AttachEditor(nullptr);
        EXPECT_EQ(effect.Editor(), nullptr);
        effect.ParameterAt(0)->SetLimited(5);
        effect.AttachEditor(new RecordingEditor(log));
        // Each control first learns its default (what a double-click restores), then the value.
        EXPECT_EQ(log, (std::vector<std::string>{"surface", "push 0 0.000000 normalized",
                                                 "push 0 0.500000 normalized",
                                                 "push 1 0.000000 normalized",
                                                 "push 1 0.000000 normalized"}));
        log.clear();
        effect.RefreshEditorControls();
        EXPECT_EQ(log[0], "push 0 5.000000 real");
        log.clear();
    }
    EXPECT_EQ(log, std::vector<std::string>{"editor destroyed"});
}
