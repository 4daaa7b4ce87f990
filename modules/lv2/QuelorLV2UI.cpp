// The Quelor panel as an LV2 UI: the effect's own panel layout in the editor's X11 window,
// its edits sent to the plug-in's control ports and the ports' values shown on its
// controls and meters.
#include "IGraphicsWindow.h"
#include "LV2UIParameters.h"
#include "Quelor.h"
#include "QuelorLV2.h"
#include "QuelorPanel.h"
#include "QuelorStrip.h"

#include "raster/RAS_Resources.h"

#include <array>
#include <chrono>
#include <cmath>

namespace {

class QuelorLV2Panel final : public ILV2Panel {
public:
    // The parameter table is the effect's own. Until the host reports the meter ports the
    // strip reads an idle plug-in's meters, and the needles rest at the bottom, as on the
    // effect's own panel before a block has run.
    explicit QuelorLV2Panel(const LV2UIHost& host)
        : parameters(Quelor(), host),
          firstMeterPort(LV2MeterPortIndex(Quelor().Buses(), parameters.Count(), 0)),
          window(&parameters, kQuelorPanelWidth, kQuelorPanelHeight,
                                             kQuelorPanelFps, RAS_OwnModule()),
          meters(LayOutQuelorPanel(window)), strip(window), lastIdle(Clock::now()) {
        parameters.ShowsOn(&window);
        for (int i = 0; i < parameters.Count(); ++i)
            window.PushParamToControls(i, parameters.DescribeParameter(i)->Normalized(), true);
        // The desktop's scale until the host tells its own.
        window.SetWindowScale(IGraphicsWindow::SystemScale(), false);
        window.CreateDrawSurface();
    }

    int Width() const override { return window.DeviceWidth(); }
    int Height() const override { return window.DeviceHeight(); }
    void SetScale(double scale) override { window.SetWindowScale(scale, true); }
    void FitTo(int width, int height) override {
        window.SetWindowScale(PanelScale::ToFit(width, height, window.Width(), window.Height()),
                              true);
    }
    void* Open(void* parentWindow) override { return window.OpenEditorWindow(parentWindow); }
    // The strip has no history of the plug-in's to copy: the meters the ports last
    // reported stand for the time since the last idle.
    void Idle() override {
        const Clock::time_point now = Clock::now();
        const auto points = static_cast<int>((now - lastIdle) / kPointInterval);
        lastIdle += points * kPointInterval;
        strip.Hold(ReadingFromPorts(), points);
        window.EditorIdle();
    }

    void PortChanged(uint32_t port, float value) override {
        if (parameters.PortChanged(port, value)) {
            const int index = static_cast<int>(port);
            window.PushParamToControls(index, parameters.DescribeParameter(index)->Normalized(),
                                       true);
            return;
        }
        const int meter = static_cast<int>(port) - firstMeterPort;
        if (meter < 0 || meter >= Quelor::kMeterCount)
            return;
        readings[static_cast<std::size_t>(meter)] = static_cast<double>(value);
        ShowMeters();
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::microseconds kPointInterval{5000};

    LevelPoint ReadingFromPorts() const {
        const auto amplitude = [](double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); };
        return {amplitude(readings[Quelor::kMeterInput]), amplitude(readings[Quelor::kMeterOutput]),
                amplitude(-readings[Quelor::kMeterReduction]), 1.0f};
    }

    void ShowMeters() {
        window.SetControlValue(meters.led, readings[Quelor::kMeterBrickwall]);
        window.SetControlValue(meters.inNeedle, Quelor::LevelNeedle(readings[Quelor::kMeterInput]));
        window.SetControlValue(meters.grNeedle,
                               Quelor::ReductionNeedle(readings[Quelor::kMeterReduction]));
        window.SetControlValue(meters.outNeedle,
                               Quelor::LevelNeedle(readings[Quelor::kMeterOutput]));
    }

    LV2UIParameters parameters;
    int firstMeterPort;
    IGraphicsWindow window;
    QuelorMeterControls meters;
    QuelorStrip strip;
    Clock::time_point lastIdle;
    std::array<double, Quelor::kMeterCount> readings{Quelor::kMeterFloorDb, 0.0,
                                                     Quelor::kMeterFloorDb, 0.0};
};

ILV2Panel* CreatePanel(const LV2UIHost& host) {
    return new QuelorLV2Panel(host);
}
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    static const LV2UIProduct product{QuelorLV2Product().uiUri, CreatePanel};
    static const LV2UIProductDescriptor descriptor = MakeLV2UIDescriptor(product);
    return index == 0 ? &descriptor.descriptor : nullptr;
}
