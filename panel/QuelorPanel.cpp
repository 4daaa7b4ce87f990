#include "QuelorPanel.h"

#include "IDrawContext.h"
#include "IVUNeedle.h"
#include "Quelor.h"

QuelorMeterControls LayOutQuelorPanel(IDrawContext& panel) {
    panel.SetBackground(100, "img/bg_new2.png");

    struct Place {
        int x;
        int y;
        int parameter;
    };
    const IFrameBitmap knob = panel.LoadFrameBitmap(101, "img/knob.png", 51);
    for (const Place& p : {Place{30, 105, Quelor::kAttack}, Place{100, 105, Quelor::kRelease},
                           Place{170, 105, Quelor::kHold}, Place{100, 190, Quelor::kRatio},
                           Place{30, 190, Quelor::kThreshold}, Place{170, 190, Quelor::kGain},
                           Place{30, 275, Quelor::kMix}, Place{270, 105, Quelor::kRelease2},
                           Place{270, 190, Quelor::kAttenuation}})
        panel.AppendControl(new IKnobMultiControl(p.x, p.y, p.parameter, knob));

    const IFrameBitmap switch2 = panel.LoadFrameBitmap(102, "img/switch2.png", 2);
    panel.AppendControl(
        new ISwitchControl(170, 280, Quelor::kSidechainInput, switch2, kDrawBlendAlpha));
    panel.AppendControl(new ISwitchControl(273, 280, Quelor::kBrickwall, switch2, kDrawBlendAlpha));
    const IFrameBitmap switch3 = panel.LoadFrameBitmap(103, "img/switch3.png", 3);
    panel.AppendControl(
        new ISwitchControl(100, 280, Quelor::kStereoMode, switch3, kDrawBlendAlpha));

    const IFrameBitmap led = panel.LoadFrameBitmap(104, "img/led.png", 31);
    QuelorMeterControls meters{};
    meters.led = panel.AppendControl(new IBitmapControl(284, 34, -1, led, kDrawBlendAlpha));
    const IFrameBitmap needle = panel.LoadFrameBitmap(105, "img/vu_needle.png", 1);
    meters.inNeedle = panel.AppendControl(new IVUNeedle(382, needle));
    meters.grNeedle = panel.AppendControl(new IVUNeedle(414, needle));
    meters.outNeedle = panel.AppendControl(new IVUNeedle(446, needle));
    return meters;
}
