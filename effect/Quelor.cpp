#include "Quelor.h"

#include "DenormalMode.h"
#include "ModuleInstance.h"
#include "QuelorEditor.h"
#include "QuelorPanel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr EffectIdentity kIdentity{
    Quelor::kParameterCount,
    "1-1 2-2 3-1 4-2",
    1,
    "Quelor",
    "",
    "Brovane",
    0x00010000,
    FourCharCode("Qlr1"),
    FourCharCode("Bvne"),
    0,
    false,
    false,
};

// Highest ratio on the knob; it stands for an infinite ratio.
constexpr double kInfiniteRatio = 30.0;
constexpr double kMeterSeconds = 0.15;
// 10^0.9: the IN and OUT 0 marks stand for a smoothed level of -9 dBFS.
constexpr double kMeterReference = 7.943282347242815;
// Brickwall reduction in dB divided by 6: the LED is fully lit from 6 dB on.
constexpr double kLedScale = -3.3333333333333335;

// A detector sample that is not finite is taken as silence, so a stray NaN or
// infinity cannot stick in an envelope once it has left the hold window.
inline double DetectorLevel(double level) { return std::isfinite(level) ? level : 0.0; }

// Falls at once, recovers with the meter coefficient.
inline void UpdateDisplay(double& display, double gain, double coeff) {
    const double d = gain - display;
    display += d > 0.0 ? coeff * d : d;
}

// One-pole mean square of the louder channel; a non-finite square counts as silence.
inline void SmoothMeanSquare(double& meanSquare, const double* a, const double* b, int frames,
                             double coeff) {
    double m = meanSquare;
    for (int i = 0; i < frames; ++i) {
        const double s = DetectorLevel(std::max(a[i] * a[i], b[i] * b[i]));
        m += (s - m) * coeff;
    }
    meanSquare = m;
}
} // namespace

Quelor::Quelor(audioMasterCallback hostCallback) : IEffectVST(hostCallback, kIdentity, false) {
    SetupParameters();
    AddPresetFromValues("Default", 1.0, 100.0, 5.0, 3.0, 0, 0, 0.0, 0.0, 100.0, 300.0, -30.0, 1);
    BuildEditor();
    inMeanSquare = 0.0;
    outMeanSquare = 0.0;
    grDisplay = 1.0;
    limiterDisplay = 1.0;
    limiterEnvelope.SetAttack(0.0, SampleRate());
    limiterEnvelope.SetHoldLength(1);
    ResizeWorkBuffers(MaxBlockSize());
    meterCoeff = 1.0 - std::exp(-1.0 / (SampleRate() * kMeterSeconds));
}

Quelor::~Quelor() = default;

void Quelor::BuildEditor() {
    // Inside the plug-in module the images are its resources; a program that links the
    // effect directly carries them itself.
    const RAS_ModuleHandle module = ModuleInstance() ? ModuleInstance() : RAS_OwnModule();
    auto* panel =
        new QuelorEditor(*this, kQuelorPanelWidth, kQuelorPanelHeight, kQuelorPanelFps, module);
    const QuelorMeterControls meters = LayOutQuelorPanel(*panel);
    SetMeterControls(meters.led, meters.inNeedle, meters.grNeedle, meters.outNeedle);
    AttachEditor(panel);
}

void Quelor::SetupParameters() {
    ParameterAt(kAttack)->SetupContinuous("Attack", 1.0, 0.0, 300.0, 1.0, "ms");
    ParameterAt(kRelease)->SetupContinuous("Release", 100.0, 0.0, 1500.0, 1.0, "ms");
    ParameterAt(kHold)->SetupContinuous("Hold", 5.0, 0.0, 30.0, 1.0, "ms");
    ParameterAt(kRatio)->SetupContinuous("Ratio", 3.0, 1.0, 30.0, 0.1, "");
    ParameterAt(kRatio)->SetResponseShape(2.0);
    IParameter* stereo = ParameterAt(kStereoMode);
    stereo->SetupChoice("Stereo Mode", 0, 3);
    stereo->AddValueText(0, "Average");
    stereo->AddValueText(1, "Maximum");
    stereo->AddValueText(2, "Dual Mono");
    IParameter* sidechain = ParameterAt(kSidechainInput);
    sidechain->SetupChoice("Sidechain Input", 0, 2);
    sidechain->AddValueText(0, "Chn. 1/2");
    sidechain->AddValueText(1, "Chn. 3/4");
    ParameterAt(kThreshold)->SetupContinuous("Threshold", 0.0, -60.0, 0.0, 0.1, "dB");
    ParameterAt(kGain)->SetupContinuous("Gain", 0.0, 0.0, 30.0, 0.1, "dB");
    ParameterAt(kMix)->SetupContinuous("Mix", 100.0, 0.0, 100.0, 1.0, "%");
    ParameterAt(kRelease2)->SetupContinuous("Release 2", 300.0, 0.0, 1500.0, 1.0, "ms");
    ParameterAt(kAttenuation)->SetupContinuous("Attenuation", 0.0, -30.0, 0.0, 0.1, "dB");
    IParameter* brickwall = ParameterAt(kBrickwall);
    brickwall->SetupChoice("Brickwall", 1, 2);
    brickwall->AddValueText(0, "On");
    brickwall->AddValueText(1, "Off");
}

uint32_t Quelor::HoldLengthFor(double ms, double sampleRate) {
    const double samples = ms * sampleRate * 0.001;
    if (!(samples >= 1.0))
        return 0;
    if (samples >= PeakHoldEnvelope::kWindowCapacity)
        return PeakHoldEnvelope::kWindowCapacity;
    return static_cast<uint32_t>(samples);
}

void Quelor::ResizeWorkBuffers(int frames) {
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    for (GrowArray<double>* buffer : {&chanBuf1, &chanBuf2, &envBuf1, &envBuf2})
        buffer->Resize(count);
    // Should memory fail, the buffers keep their old, smaller sizes and longer
    // blocks are processed in pieces that fit.
    bufferFrames = static_cast<int>(std::min({chanBuf1.Count(), chanBuf2.Count(), envBuf1.Count(),
                                              envBuf2.Count()}));
}

double Quelor::ChoiceValue(int index) const { return ParameterAt(index)->Value(); }

void Quelor::ParameterChanged(int index) {
    ScopedPlugLock lock(Lock());
    const IParameter* parameter = ParameterAt(index);
    if (!parameter)
        return;
    const double value = parameter->Value();
    const double rate = SampleRate();
    switch (index) {
    case kAttack:
        envelope1.SetAttack(value, rate);
        envelope2.SetAttack(value, rate);
        break;
    case kRelease:
        envelope1.SetRelease(value, rate);
        envelope2.SetRelease(value, rate);
        break;
    case kHold:
        envelope1.SetHoldLength(HoldLengthFor(value, rate));
        envelope2.SetHoldLength(HoldLengthFor(value, rate));
        break;
    case kRatio:
        ratioExponent = value < kInfiniteRatio ? 1.0 / value - 1.0 : -1.0;
        break;
    case kThreshold:
        thresholdGain = parameter->DecibelsToAmplitude();
        thresholdInverse = 1.0 / thresholdGain;
        break;
    case kGain:
        makeupGain = parameter->DecibelsToAmplitude();
        break;
    case kMix:
        mixAmount = parameter->Normalized();
        break;
    case kRelease2:
        limiterEnvelope.SetRelease(value, rate);
        break;
    case kAttenuation:
        attenuationGain = parameter->DecibelsToAmplitude();
        break;
    default:
        break; // the choices are read at every block
    }
}

void Quelor::ResetProcessing() {
    ScopedPlugLock lock(Lock());
    const double rate = SampleRate();
    for (PeakHoldEnvelope* envelope : {&envelope1, &envelope2}) {
        envelope->SetAttack(ParameterAt(kAttack)->Value(), rate);
        envelope->SetRelease(ParameterAt(kRelease)->Value(), rate);
    }
    const uint32_t hold = HoldLengthFor(ParameterAt(kHold)->Value(), rate);
    envelope1.SetHoldLength(hold);
    envelope2.SetHoldLength(hold);
    limiterEnvelope.SetRelease(ParameterAt(kRelease2)->Value(), rate);
    envelope1.ClearEnvelope();
    envelope2.ClearEnvelope();
    limiterEnvelope.ClearEnvelope();
    inMeanSquare = 0.0;
    outMeanSquare = 0.0;
    grDisplay = 1.0;
    limiterDisplay = 1.0;
    if (MaxBlockSize() != bufferFrames)
        ResizeWorkBuffers(MaxBlockSize());
    meterCoeff = 1.0 - std::exp(-1.0 / (rate * kMeterSeconds));
}

void Quelor::ProcessBlock(double** inputs, double** outputs, int frames) {
    ScopedFlushDenormals flush;
    const BlockSettings settings{
        TruncateToInt32(ChoiceValue(kStereoMode)),
        TruncateToInt32(ChoiceValue(kSidechainInput)) != 0,
        TruncateToInt32(ChoiceValue(kBrickwall)) == kBrickwallOn,
    };
    // Metered before any output is written, so that in-place buffers still
    // show the input on the IN needle.
    SmoothInputLevel(inputs[0], inputs[1], frames);
    if (bufferFrames <= 0) {
        // No block size was ever announced: there is nowhere to work, so give silence.
        for (int ch = 0; ch < 2; ++ch)
            std::fill_n(outputs[ch], std::max(frames, 0), 0.0);
        return;
    }
    // Longer blocks than announced run in pieces; every stage is causal and
    // per sample, so the result is the same as one long block.
    for (int done = 0; done < frames; done += bufferFrames) {
        const int n = std::min(bufferFrames, frames - done);
        double* const in[4] = {inputs[0] + done, inputs[1] + done, inputs[2] + done,
                               inputs[3] + done};
        double* const out[2] = {outputs[0] + done, outputs[1] + done};
        ProcessPiece(in, out, n, settings);
    }
    FeedMeters(outputs[0], outputs[1], frames, settings.brickwall);
}

double Quelor::NeedleValue(double amplitude) {
    const double a = std::clamp(amplitude, 0.0, 1.45);
    const double v = ((1.01779 - 0.414204 * a) * a + 0.110307) * a - 0.0204974 + 0.006;
    return std::clamp(v, 0.0, 1.0);
}

void Quelor::SetMeterControls(int led, int inNeedle, int grNeedle, int outNeedle) {
    ledIndex = led;
    inNeedleIndex = inNeedle;
    grNeedleIndex = grNeedle;
    outNeedleIndex = outNeedle;
}

void Quelor::SmoothInputLevel(const double* in0, const double* in1, int frames) {
    if (Editor())
        SmoothMeanSquare(inMeanSquare, in0, in1, frames, meterCoeff);
}

void Quelor::FeedMeters(const double* out0, const double* out1, int frames, bool brickwall) {
    IEditorLink* panel = Editor();
    if (!panel)
        return;
    const double led =
        brickwall ? std::clamp(kLedScale * std::log10(limiterDisplay), 0.0, 1.0) : 0.0;
    panel->SetControlValue(ledIndex, led);
    panel->SetControlValue(grNeedleIndex, NeedleValue(grDisplay));
    SmoothMeanSquare(outMeanSquare, out0, out1, frames, meterCoeff);
    panel->SetControlValue(inNeedleIndex, NeedleValue(std::sqrt(inMeanSquare * kMeterReference)));
    panel->SetControlValue(outNeedleIndex, NeedleValue(std::sqrt(outMeanSquare * kMeterReference)));
}

void Quelor::ProcessPiece(double* const* inputs, double* const* outputs, int frames,
                          const BlockSettings& settings) {
    const double* a = settings.sidechain ? inputs[2] : inputs[0];
    const double* b = settings.sidechain ? inputs[3] : inputs[1];
    if (settings.stereoMode == kStereoDualMono)
        CompressDualMono(a, b, inputs[0], inputs[1], frames);
    else
        CompressLinked(a, b, inputs[0], inputs[1], frames,
                       settings.stereoMode == kStereoAverage);
    if (settings.brickwall) {
        ApplyBrickwall(outputs[0], outputs[1], frames);
    } else {
        std::copy_n(chanBuf1.Data(), frames, outputs[0]);
        std::copy_n(chanBuf2.Data(), frames, outputs[1]);
    }
}

inline double Quelor::CompressorGain(double envelope) const {
    return envelope > thresholdGain ? std::pow(envelope * thresholdInverse, ratioExponent) : 1.0;
}

void Quelor::CompressDualMono(const double* a, const double* b, const double* in0,
                              const double* in1, int frames) {
    double* c1 = chanBuf1.Data();
    double* c2 = chanBuf2.Data();
    double* e1 = envBuf1.Data();
    double* e2 = envBuf2.Data();
    for (int i = 0; i < frames; ++i) {
        c1[i] = DetectorLevel(std::fabs(a[i]));
        c2[i] = DetectorLevel(std::fabs(b[i]));
    }
    envelope1.ProcessEnvelope(c1, e1, frames);
    envelope2.ProcessEnvelope(c2, e2, frames);
    const double mix = mixAmount;
    const double dry = 1.0 - mixAmount;
    const double makeup = makeupGain;
    for (int i = 0; i < frames; ++i) {
        const double g1 = CompressorGain(e1[i]);
        const double g2 = CompressorGain(e2[i]);
        UpdateDisplay(grDisplay, std::min(g1, g2), meterCoeff);
        c1[i] = (g1 * mix + dry) * in0[i] * makeup;
        c2[i] = (g2 * mix + dry) * in1[i] * makeup;
    }
}

void Quelor::CompressLinked(const double* a, const double* b, const double* in0,
                            const double* in1, int frames, bool average) {
    double* c1 = chanBuf1.Data();
    double* c2 = chanBuf2.Data();
    double* e1 = envBuf1.Data();
    if (average)
        for (int i = 0; i < frames; ++i)
            c1[i] = DetectorLevel((std::fabs(a[i]) + std::fabs(b[i])) * 0.5);
    else
        for (int i = 0; i < frames; ++i)
            c1[i] = DetectorLevel(std::max(std::fabs(a[i]), std::fabs(b[i])));
    envelope1.ProcessEnvelope(c1, e1, frames);
    const double mix = mixAmount;
    const double dry = 1.0 - mixAmount;
    const double makeup = makeupGain;
    for (int i = 0; i < frames; ++i) {
        const double g = CompressorGain(e1[i]);
        UpdateDisplay(grDisplay, g, meterCoeff);
        const double factor = g * mix + dry;
        c1[i] = factor * in0[i] * makeup;
        c2[i] = factor * in1[i] * makeup;
    }
}

void Quelor::ApplyBrickwall(double* out0, double* out1, int frames) {
    const double* c1 = chanBuf1.Data();
    const double* c2 = chanBuf2.Data();
    double* detector = envBuf1.Data();
    double* peak = envBuf2.Data();
    for (int i = 0; i < frames; ++i)
        detector[i] = DetectorLevel(std::max(std::fabs(c1[i]), std::fabs(c2[i])));
    limiterEnvelope.ProcessEnvelope(detector, peak, frames);
    const double attenuation = attenuationGain;
    for (int i = 0; i < frames; ++i) {
        const double p = peak[i];
        const double gb = p > kCeiling ? std::pow(p * kCeilingInverse, -1.0) : 1.0;
        UpdateDisplay(limiterDisplay, gb, meterCoeff);
        out0[i] = c1[i] * attenuation * gb;
        out1[i] = attenuation * gb * c2[i];
    }
}
