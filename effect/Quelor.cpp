#include "Quelor.h"

#include "DenormalMode.h"
#include "GainStage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
// The programme in stereo or mono, a stereo side-chain the host may leave out, a stereo
// output; VST 2 hosts see them as "1-1 2-2 3-1 4-2".
constexpr BusDescription kInputBuses[] = {
    {"Input", BusRole::kMain, 2, false, true, {"in_l", "in_r"}, {"In L", "In R"}},
    {"Sidechain", BusRole::kSidechain, 2, true, true, {"sidechain_l", "sidechain_r"},
     {"Side-chain L", "Side-chain R"}},
};
constexpr BusDescription kOutputBuses[] = {
    {"Output", BusRole::kMain, 2, false, false, {"out_l", "out_r"}, {"Out L", "Out R"}},
};
constexpr BusLayout kBuses{kInputBuses, kOutputBuses};

// The ranges reach past every needle's ends, so a clamped reading shows as the true one.
constexpr MeterDescription kMeters[Quelor::kMeterCount] = {
    {"input_level", "Input Level", "dB", Quelor::kMeterFloorDb, 24.0},
    {"gain_reduction", "Gain Reduction", "dB", 0.0, 60.0},
    {"output_level", "Output Level", "dB", Quelor::kMeterFloorDb, 24.0},
    {"brickwall_activity", "Brickwall Activity", "", 0.0, 1.0},
};

// The product's names and identifiers; a function, so that an effect made while the
// program starts never reads them before they are made.
EffectIdentity Identity() {
    return {
        Quelor::kParameterCount,
        nullptr,
        1,
        Quelor::kProduct.name,
        "",
        Quelor::kProduct.maker,
        Quelor::kProduct.version,
        Quelor::kProduct.ids.vst2UniqueId,
        Quelor::kProduct.ids.vst2MakerId,
        0,
        false,
        false,
        &kBuses,
        kMeters,
    };
}

// Highest ratio on the knob; it stands for an infinite ratio.
constexpr double kInfiniteRatio = 30.0;
constexpr double kMeterSeconds = 0.15;
constexpr double kGlideSeconds = 0.010;
// 10^0.9: the IN and OUT 0 marks stand for a smoothed level of -9 dBFS.
constexpr double kMeterReference = 7.943282347242815;
// Brickwall reduction in dB divided by 6: the LED is fully lit from 6 dB on.
constexpr double kLedScale = -3.3333333333333335;

} // namespace

Quelor::Quelor(const IEditorFactory* panel) : IEffectBase(Identity(), panel) {
    SetupParameters();
    MarkInputsConnected(0, InputCount(), true);
    MarkOutputsConnected(0, OutputCount(), true);
    MarkInputsRead(2, 2, false);
    AddPresetFromValues("Default", 1.0, 100.0, 5.0, 3.0, 0, 0, 0.0, 0.0, 100.0, 300.0, -30.0, 1);
    SetMaxBlockSize(1024);
    displays = {};
    ResizeWorkBuffers(MaxBlockSize());
    meterCoeff = 1.0 - std::exp(-1.0 / (SampleRate() * kMeterSeconds));
}

Quelor::~Quelor() = default;

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

int Quelor::GlideLengthFor(double sampleRate) {
    const double samples = std::round(kGlideSeconds * sampleRate);
    if (!(samples >= 1.0))
        return 0;
    return samples < INT32_MAX ? static_cast<int>(samples) : INT32_MAX;
}

void Quelor::Retarget(GainStage::Glide& glide, double value) {
    if (processedSinceReset)
        glide.GlideTo(value, GlideLengthFor(SampleRate()));
    else
        glide.JumpTo(value);
}

void Quelor::ResizeWorkBuffers(int frames) {
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    for (GrowArray<double>* buffer : {&chanBuf1, &chanBuf2, &envBuf1, &envBuf2, &limitBuf})
        buffer->Resize(count);
    // Should memory fail, the buffers keep their old, smaller sizes and longer
    // blocks are processed in pieces that fit.
    bufferFrames = static_cast<int>(std::min(
        {chanBuf1.Count(), chanBuf2.Count(), envBuf1.Count(), envBuf2.Count(), limitBuf.Count()}));
}

// The work buffers for one largest block size, made and freed without the plug-in lock.
struct Quelor::WorkBuffers final : IWorkBuffers {
    GrowArray<double> chanBuf1, chanBuf2, envBuf1, envBuf2, limitBuf;
    int frames = -1; // -1 when one could not be had
};

std::unique_ptr<IWorkBuffers> Quelor::MakeWorkBuffers(int frames) {
    auto made = std::make_unique<WorkBuffers>();
    const auto count = static_cast<std::size_t>(std::max(frames, 0));
    bool complete = true;
    for (GrowArray<double>* buffer :
         {&made->chanBuf1, &made->chanBuf2, &made->envBuf1, &made->envBuf2, &made->limitBuf})
        complete = buffer->Resize(count) && complete;
    made->frames = complete ? static_cast<int>(count) : -1;
    return made;
}

void Quelor::AdoptWorkBuffers(IWorkBuffers& buffers) {
    auto& made = static_cast<WorkBuffers&>(buffers);
    // Should memory have failed, the live buffers stay, and longer blocks are processed
    // in pieces that fit them.
    if (made.frames < 0)
        return;
    chanBuf1.Swap(made.chanBuf1);
    chanBuf2.Swap(made.chanBuf2);
    envBuf1.Swap(made.envBuf1);
    envBuf2.Swap(made.envBuf2);
    limitBuf.Swap(made.limitBuf);
    bufferFrames = made.frames;
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
        Retarget(exponent, value < kInfiniteRatio ? 1.0 / value - 1.0 : -1.0);
        break;
    case kThreshold:
        Retarget(threshold, parameter->DecibelsToAmplitude());
        break;
    case kGain:
        Retarget(makeup, parameter->DecibelsToAmplitude());
        break;
    case kMix:
        Retarget(mix, parameter->Normalized());
        break;
    case kRelease2:
        limiter.release = PeakHoldEnvelope::Coefficient(value, rate);
        break;
    case kAttenuation:
        Retarget(attenuation, parameter->DecibelsToAmplitude());
        break;
    case kSidechainInput:
        // Read at every block; 32-bit blocks need not widen an unused side-chain.
        MarkInputsRead(2, 2, TruncateToInt32(value) != 0);
        break;
    default:
        break; // the other choices are read at every block
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
    limiter.release = PeakHoldEnvelope::Coefficient(ParameterAt(kRelease2)->Value(), rate);
    envelope1.ClearEnvelope();
    envelope2.ClearEnvelope();
    limiter.output = 0.0;
    for (GainStage::Glide* glide : Glides())
        glide->JumpTo(glide->target);
    processedSinceReset = false;
    displays = {};
    ClearPublishedMeters();
    meterCoeff = 1.0 - std::exp(-1.0 / (rate * kMeterSeconds));
    history.Prepare(rate);
}

void Quelor::ProcessBlock(double** inputs, double** outputs, int frames) {
    ScopedFlushDenormals flush;
    const BlockSettings settings{
        TruncateToInt32(ChoiceValue(kStereoMode)),
        TruncateToInt32(ChoiceValue(kSidechainInput)) != 0,
        TruncateToInt32(ChoiceValue(kBrickwall)) == kBrickwallOn,
    };
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
    PublishMeters(settings.brickwall);
}

double Quelor::NeedleValue(double amplitude) {
    const double a = std::clamp(amplitude, 0.0, 1.45);
    const double v = ((1.01779 - 0.414204 * a) * a + 0.110307) * a - 0.0204974 + 0.006;
    return std::clamp(v, 0.0, 1.0);
}

void Quelor::PublishMeters(bool brickwall) {
    const double led =
        brickwall ? std::clamp(kLedScale * std::log10(displays.limiter), 0.0, 1.0) : 0.0;
    published.in.store(displays.in, std::memory_order_relaxed);
    published.out.store(displays.out, std::memory_order_relaxed);
    published.gain.store(displays.gain, std::memory_order_relaxed);
    published.brickwall.store(led, std::memory_order_relaxed);
    meteredBlocks.fetch_add(1, std::memory_order_release);
}

void Quelor::ClearPublishedMeters() {
    published.in.store(displays.in, std::memory_order_relaxed);
    published.out.store(displays.out, std::memory_order_relaxed);
    published.gain.store(displays.gain, std::memory_order_relaxed);
    published.brickwall.store(0.0, std::memory_order_relaxed);
}

Quelor::NeedlePositions Quelor::Needles() const {
    const double in = published.in.load(std::memory_order_relaxed);
    const double out = published.out.load(std::memory_order_relaxed);
    return {published.brickwall.load(std::memory_order_relaxed),
            NeedleValue(std::sqrt(in * kMeterReference)),
            NeedleValue(published.gain.load(std::memory_order_relaxed)),
            NeedleValue(std::sqrt(out * kMeterReference))};
}

void Quelor::ProcessPiece(double* const* inputs, double* const* outputs, int frames,
                          const BlockSettings& settings) {
    const double* a = settings.sidechain ? inputs[2] : inputs[0];
    const double* b = settings.sidechain ? inputs[3] : inputs[1];
    double* c1 = chanBuf1.Data();
    double* c2 = chanBuf2.Data();
    double* g1 = envBuf1.Data();
    double* g2 = envBuf2.Data();
    const bool dual = settings.stereoMode == kStereoDualMono;
    // Dual Mono's second envelope starts from the linked envelope's state, not from
    // wherever it stopped when the channels were last apart.
    if (dual && !dualBefore)
        envelope2.TakeHistoryFrom(envelope1);
    dualBefore = dual;
    // Detector, envelope (the only recursion), gain and mix, each over the whole
    // piece; the displays follow at the end, both in one loop.
    if (dual) {
        GainStage::DetectEach(a, c1, frames);
        GainStage::DetectEach(b, c2, frames);
        PeakHoldEnvelope::ProcessPair(envelope1, c1, g1, envelope2, c2, g2, frames);
        GainStage::CompressorGains(g1, frames, threshold, exponent);
        GainStage::CompressorGains(g2, frames, threshold, exponent);
    } else {
        if (settings.stereoMode == kStereoAverage)
            GainStage::DetectAverage(a, b, c1, frames);
        else
            GainStage::DetectMaximum(a, b, c1, frames);
        envelope1.ProcessEnvelope(c1, g1, frames);
        GainStage::CompressorGains(g1, frames, threshold, exponent);
    }
    GainStage::ApplyGain(g1, inputs[0], c1, frames, mix, makeup);
    GainStage::ApplyGain(dual ? g2 : g1, inputs[1], c2, frames, mix, makeup);
    double* limit = settings.brickwall ? limitBuf.Data() : nullptr;
    if (limit)
        GainStage::DetectMaximum(c1, c2, limit, frames);
    // Before any output is written, so that in-place buffers still show the input
    // on the IN needle.
    const GainStage::PieceSignals piece{
        inputs[0], inputs[1], c1, c2, g1, dual ? g2 : g1, limit, attenuation, true};
    GainStage::FollowDisplays(displays, limiter, piece, frames, meterCoeff, kCeiling);
    history.Add({inputs[0], inputs[1], c1, c2, g1, dual ? g2 : g1, limit,
                 limit ? attenuation.target : 1.0},
                frames);

    if (limit) {
        GainStage::ApplyLimiter(limit, c1, c2, outputs[0], outputs[1], frames, attenuation);
    } else {
        std::copy_n(c1, frames, outputs[0]);
        std::copy_n(c2, frames, outputs[1]);
    }
    // Every glide moves on with the samples, whether or not its stage ran.
    for (GainStage::Glide* glide : Glides())
        glide->Advance(frames);
    processedSinceReset = true;
}

namespace {
double PowerToDb(double power) {
    return power > 0.0 ? std::max(10.0 * std::log10(power), Quelor::kMeterFloorDb)
                       : Quelor::kMeterFloorDb;
}
} // namespace

void Quelor::ReadMeters(MeterReadings& readings) const {
    const double gain = published.gain.load(std::memory_order_relaxed);
    readings.values[kMeterInput] = PowerToDb(published.in.load(std::memory_order_relaxed));
    readings.values[kMeterReduction] = 0.0 - PowerToDb(gain * gain);
    readings.values[kMeterOutput] = PowerToDb(published.out.load(std::memory_order_relaxed));
    readings.values[kMeterBrickwall] = published.brickwall.load(std::memory_order_relaxed);
}

double Quelor::LevelNeedle(double levelDb) {
    return NeedleValue(std::sqrt(std::pow(10.0, levelDb / 10.0) * kMeterReference));
}

double Quelor::ReductionNeedle(double reductionDb) {
    return NeedleValue(std::pow(10.0, -reductionDb / 20.0));
}
