#pragma once

#include "GainStage.h"
#include "IEffectBase.h"
#include "PeakHoldEnvelope.h"
#include "ProductDescription.h"

#include <array>

// The Quelor compressor: a hard-knee feed-forward compressor with a peak-hold
// envelope, stereo link, side-chain, dry/wet mix and a brickwall stage. Processing only:
// each product joins it to a format's adapter, which owns it, and gives it the panel's
// factory where the panel runs in the same binary.
class Quelor : public IEffectBase {
public:
    enum Parameter {
        kAttack,
        kRelease,
        kHold,
        kRatio,
        kStereoMode,
        kSidechainInput,
        kThreshold,
        kGain,
        kMix,
        kRelease2,
        kAttenuation,
        kBrickwall,
        kParameterCount
    };
    enum StereoMode { kStereoAverage, kStereoMaximum, kStereoDualMono };
    enum BrickwallSetting { kBrickwallOn, kBrickwallOff };

    // The limiter's ceiling, -0.1 dBFS, and its inverse.
    static constexpr double kCeiling = 0.9885530946569389;
    static constexpr double kCeilingInverse = 1.0115794542598986;

    // The product every format's module names to its hosts.
    static const ProductDescription kProduct;

    // Any thread. Without an editor factory the effect has no editor; it meters all the same.
    explicit Quelor(const IEditorFactory* panel = nullptr);
    ~Quelor() override;

    // Any thread; takes the plug-in lock.
    void ResetProcessing() override;
    // Any thread; takes the plug-in lock.
    void ParameterChanged(int index) override;
    // Audio thread, plug-in lock held. Always four inputs and two outputs.
    void ProcessBlock(double** inputs, double** outputs, int frames) override;
    // Host thread, without the plug-in lock.
    std::unique_ptr<IWorkBuffers> MakeWorkBuffers(int frames) override;
    // Plug-in lock held.
    void AdoptWorkBuffers(IWorkBuffers& buffers) override;

    // The values Gain, Mix, Attenuation, Threshold and Ratio glide to.
    double ThresholdGain() const { return threshold.target; }
    double MakeupGain() const { return makeup.target; }
    double AttenuationGain() const { return attenuation.target; }
    double RatioExponent() const { return exponent.target; }
    double MixAmount() const { return mix.target; }
    double MeterCoeff() const { return meterCoeff; }
    double GrDisplay() const { return displays.gain; }
    double LimiterDisplay() const { return displays.limiter; }
    double InMeanSquare() const { return displays.in; }
    double OutMeanSquare() const { return displays.out; }
    int BufferFrames() const { return bufferFrames; }
    const PeakHoldEnvelope& Envelope1() const { return envelope1; }
    const PeakHoldEnvelope& Envelope2() const { return envelope2; }
    double LimiterEnvelopeOutput() const { return limiter.output; }

    // Hold time to window length: truncated, saturated to the window's capacity.
    static uint32_t HoldLengthFor(double ms, double sampleRate);
    // The samples a glide takes: 10 ms, rounded; none for rates that give none.
    static int GlideLengthFor(double sampleRate);
    // Linear amplitude (1.0 = the scale's 0 mark) to a needle position 0..1.
    static double NeedleValue(double amplitude);

    // Editor factory, UI thread, before the editor is attached: the control indices the
    // meter feed writes to.
    void SetMeterControls(int led, int inNeedle, int grNeedle, int outNeedle);

    // The meters in a host's units, kept after every block whether or not an editor
    // exists, so that a host without our panel can show them; the panel is fed from the
    // same smoothed values.
    struct MeterReadings {
        double inputDb;     // smoothed input level, dBFS, no lower than kMeterFloorDb
        double reductionDb; // the compressor's gain reduction, 0 or more
        double outputDb;    // smoothed output level, dBFS, no lower than kMeterFloorDb
        double brickwall;   // the limiter's activity as the LED shows it, 0..1
    };
    static constexpr double kMeterFloorDb = -120.0;
    // Audio thread, plug-in lock held.
    MeterReadings Meters() const;
    // The needle positions the panel shows for a level and for a gain reduction.
    static double LevelNeedle(double levelDb);
    static double ReductionNeedle(double reductionDb);

private:
    struct WorkBuffers;
    struct BlockSettings {
        int stereoMode;
        bool sidechain;
        bool brickwall;
    };

    void SetupParameters();
    void ResizeWorkBuffers(int frames);
    double ChoiceValue(int index) const;
    void ProcessPiece(double* const* inputs, double* const* outputs, int frames,
                      const BlockSettings& settings);
    void FeedMeters(bool brickwall);
    // A change of a gliding value: at once until the first sample after a reset,
    // so that playback starts at its settings; a glide from then on.
    void Retarget(GainStage::Glide& glide, double value);
    std::array<GainStage::Glide*, 5> Glides() {
        return {&threshold, &makeup, &attenuation, &exponent, &mix};
    }

    int inNeedleIndex = -1;
    int grNeedleIndex = -1;
    int outNeedleIndex = -1;
    int ledIndex = -1;
    double brickwallLevel = 0.0; // the LED's value, kept for hosts that show meters without a panel
    GainStage::Displays displays;
    double meterCoeff = 0.0;
    GainStage::Glide threshold{1.0};   // linear
    GainStage::Glide makeup{1.0};      // linear
    GainStage::Glide attenuation{1.0}; // linear
    GainStage::Glide exponent{0.0};    // of the gain computer: 1 / ratio - 1
    GainStage::Glide mix{1.0};         // the wet share
    bool processedSinceReset = false;
    PeakHoldEnvelope envelope1;
    PeakHoldEnvelope envelope2;
    bool dualBefore = false; // the last piece ran in Dual Mono
    GainStage::LimiterEnvelope limiter;
    GrowArray<double> chanBuf1;
    GrowArray<double> chanBuf2;
    GrowArray<double> envBuf1;
    GrowArray<double> envBuf2;
    GrowArray<double> limitBuf;
    int bufferFrames = 0;
};
