#pragma once

#include "GainStage.h"
#include "LevelHistory.h"
#include "IEffectBase.h"
#include "PeakHoldEnvelope.h"
#include "ProductDescription.h"

#include <array>
#include <atomic>
#include <cstdint>

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
    // The meters it declares, in the order ReadMeters fills them.
    enum Meter { kMeterInput, kMeterReduction, kMeterOutput, kMeterBrickwall, kMeterCount };
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
    // Any thread, no lock: the input and output levels (smoothed, dBFS, no lower than
    // kMeterFloorDb), the compressor's gain reduction (0 dB or more) and the limiter's
    // activity as the LED shows it (0..1), as the last block left them.
    void ReadMeters(MeterReadings& readings) const override;

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

    static constexpr double kMeterFloorDb = -120.0;
    // The needle positions the panel shows for a level and for a gain reduction.
    static double LevelNeedle(double levelDb);
    static double ReductionNeedle(double reductionDb);

    // Where the panel's needles and LED stand for the last block's meters (0..1 each).
    struct NeedlePositions {
        double led;
        double in;
        double gr;
        double out;
    };
    // Any thread, no lock.
    NeedlePositions Needles() const;
    // Any thread, no lock: the blocks whose meters were stored, counted from construction,
    // so that a panel moves its needles only when there is something new.
    uint32_t MeteredBlocks() const { return meteredBlocks.load(std::memory_order_acquire); }
    // The history of the levels, for one reader: the panel.
    const LevelHistory& History() const { return history; }

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
    // Audio thread: the meters of the block just run, stored for any thread to read.
    void PublishMeters(bool brickwall);
    // The stored meters set to those of a cleared history.
    void ClearPublishedMeters();
    // A change of a gliding value: at once until the first sample after a reset,
    // so that playback starts at its settings; a glide from then on.
    void Retarget(GainStage::Glide& glide, double value);
    std::array<GainStage::Glide*, 5> Glides() {
        return {&threshold, &makeup, &attenuation, &exponent, &mix};
    }

    // The meters as the last block left them, written by the audio thread alone: each
    // value whole (relaxed order), the count released after them.
    struct PublishedMeters {
        std::atomic<double> in{0.0};        // mean square, as displays.in
        std::atomic<double> out{0.0};       // likewise displays.out
        std::atomic<double> gain{1.0};      // displays.gain
        std::atomic<double> brickwall{0.0}; // the LED's value
    };
    static_assert(std::atomic<double>::is_always_lock_free);
    PublishedMeters published;
    std::atomic<uint32_t> meteredBlocks{0};
    LevelHistory history;
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
