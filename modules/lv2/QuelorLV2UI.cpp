// The Quelor panel as an LV2 UI: the effect's own editor and X11 window, its edits sent to
// the plug-in's control ports and the ports' values shown on its controls and meters.
#include "LV2UI.h"
#include "Quelor.h"
#include "QuelorLV2.h"

#include "IEditorWindowLink.h"

#include <cmath>

namespace {

// The panel's parameter model: the effect's parameter table, whose edits go to the host
// as port values in real units instead of into processing.
class QuelorUIModel final : public Quelor {
public:
    explicit QuelorUIModel(const LV2UIHost& h) : host(h) {}

    void NotifyHostEditBegin(int index) override { host.Touch(static_cast<uint32_t>(index), true); }
    void NotifyHostParameter(int index, double normalized) override {
        const IParameter* parameter = ParameterAt(index);
        if (!parameter)
            return;
        IParameter taken = *parameter;
        taken.SetFromNormalized(normalized);
        host.Write(static_cast<uint32_t>(index), static_cast<float>(taken.Value()));
    }
    void NotifyHostEditEnd(int index) override { host.Touch(static_cast<uint32_t>(index), false); }

private:
    const LV2UIHost& host;
};

class QuelorLV2Panel final : public ILV2Panel {
public:
    // The meters start as an idle plug-in's until the host reports its ports.
    explicit QuelorLV2Panel(const LV2UIHost& host)
        : model(host), window(dynamic_cast<IEditorWindowLink*>(model.Editor())) {
        model.ShowMeters(readings);
    }
    ~QuelorLV2Panel() override { window->CloseEditorWindow(); }
    QuelorLV2Panel(const QuelorLV2Panel&) = delete;
    QuelorLV2Panel& operator=(const QuelorLV2Panel&) = delete;

    int Width() const override { return window->EditorWidth(); }
    int Height() const override { return window->EditorHeight(); }
    void* Open(void* parentWindow) override { return window->OpenEditorWindow(parentWindow); }
    void Idle() override { window->IdleEditor(); }

    void PortChanged(uint32_t port, float value) override {
        const int parameters = model.ParameterCount();
        if (port < static_cast<uint32_t>(parameters)) {
            const int index = static_cast<int>(port);
            IParameter* parameter = model.ParameterAt(index);
            SetFromPort(*parameter, value);
            model.Editor()->PushParamToControls(index, parameter->Value(), false);
            return;
        }
        const int meter = static_cast<int>(port) - LV2MeterPortIndex(QuelorLV2Product(), parameters, 0);
        const auto v = static_cast<double>(value);
        switch (meter) {
        case kMeterInput:
            readings.inputDb = v;
            break;
        case kMeterReduction:
            readings.reductionDb = v;
            break;
        case kMeterOutput:
            readings.outputDb = v;
            break;
        case kMeterBrickwall:
            readings.brickwall = v;
            break;
        default:
            return;
        }
        model.ShowMeters(readings);
    }

private:
    QuelorUIModel model;
    IEditorWindowLink* window;
    Quelor::MeterReadings readings{Quelor::kMeterFloorDb, 0.0, Quelor::kMeterFloorDb, 0.0};
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
