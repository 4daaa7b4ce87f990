#pragma once

#include <array>
#include <memory>
#include <span>

// The effect's own storage that depends on the largest block size, such as work buffers.
// It is made and freed without the plug-in lock and exchanged with the live one under it.
class IWorkBuffers {
public:
    virtual ~IWorkBuffers() = default;
};

// A meter the effect declares once: a reading in a host's units, which every format that
// shows meters (the LV2 output ports, our panel) takes from the same place.
struct MeterDescription {
    const char* symbol;
    const char* name;
    const char* unit; // a parameter label ("dB", "ms", "%") or "" for none
    double minimum;
    double maximum;
};

// The meters an effect declares, for its identity.
using MeterList = std::span<const MeterDescription>;

// The most meters an effect declares, so that readings fit a fixed record.
constexpr int kMostMeters = 8;

// One reading per declared meter, in declaration order.
struct MeterReadings {
    std::array<double, kMostMeters> values{};
};

// What an effect implements: its parameters are declared at construction (on the base,
// from its identity), and these are its operations. The framework calls them; nothing
// else about hosts, formats or editors reaches the effect.
class IEffect {
public:
    virtual ~IEffect() = default;

    // Any thread; takes the plug-in lock. Clears the processing history. Every format
    // calls it where its host starts or stops processing and after a new sample rate,
    // block size or state.
    virtual void ResetProcessing() = 0;
    // Any thread; takes the plug-in lock. A parameter's value has changed.
    virtual void ParameterChanged(int index) = 0;
    // Audio thread, plug-in lock held. inputs and outputs have one entry per channel.
    // Allocates nothing.
    virtual void ProcessBlock(double** inputs, double** outputs, int frames) = 0;
    // Host thread, without the plug-in lock: the effect's work buffers for blocks of up
    // to frames, or null when it keeps none.
    virtual std::unique_ptr<IWorkBuffers> MakeWorkBuffers(int frames) = 0;
    // Plug-in lock held: exchanges the live work buffers with buffers, which
    // MakeWorkBuffers made. Allocates and frees nothing.
    virtual void AdoptWorkBuffers(IWorkBuffers& buffers) = 0;
    // Any thread, no lock: the readings the last block left, one per declared meter.
    // The audio thread stores them lock-free; a reader may see meters of two
    // neighbouring blocks, never a torn value.
    virtual void ReadMeters(MeterReadings& readings) const = 0;
};
