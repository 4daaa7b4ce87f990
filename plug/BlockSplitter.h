#pragma once

#include "IEffectBase.h"

// Runs the effect over one host block in pieces cut at timed parameter changes, so that a
// change at offset k acts from the block's sample k on, exactly as if the host had split
// the block at k and set the value between the two halves. Whatever the host's block
// size, the same changes at the same samples then give the same output.
//
// Audio thread, with the plug-in lock held by the caller throughout; it allocates nothing.
// The adapter feeds the block's changes in time order, then finishes the block:
//   - before a change at offset k, the samples from the current position up to k run;
//   - an offset below the current position (out of order, or negative) applies there;
//   - an offset past the block's end applies at the end, after the last piece;
//   - no piece is ever run with zero samples, so a block of 0 samples (a parameter
//     flush) applies its changes and processes nothing.
// A change is applied as IEffectBase::SetParameterFromHost applies a host's value.
class BlockSplitter {
public:
    // runPiece(offset, frames) binds the adapter's buffers at offset within the block and
    // runs the effect over frames samples; it must outlive the splitter.
    template <class RunPiece>
    BlockSplitter(IEffectBase& effect, int frames, RunPiece& runPiece)
        : plug(effect), blockFrames(frames > 0 ? frames : 0), context(&runPiece),
          run([](void* piece, int offset, int count) {
              (*static_cast<RunPiece*>(piece))(offset, count);
          }) {}
    BlockSplitter(const BlockSplitter&) = delete;
    BlockSplitter& operator=(const BlockSplitter&) = delete;

    // A change of parameter index to value at offset; false when it changed nothing.
    bool Change(int offset, int index, double value, IValueUnit unit);
    // Runs what is left of the block.
    void Finish() { RunUpTo(blockFrames); }
    // The samples run so far.
    int Position() const { return position; }

private:
    void RunUpTo(int offset);

    IEffectBase& plug;
    int blockFrames;
    int position = 0;
    void* context;
    void (*run)(void* context, int offset, int frames);
};
