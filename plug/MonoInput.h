#pragma once

// How a stereo input pair (the programme, or the side-chain) hears a source of one
// channel, in every format and tool: the one channel feeds both inputs, so that a linked
// detector hears it as it hears the same audio in two channels. count is the number of
// channels the host or file gives for the pair (0, 1 or 2, more are ignored); pair[0]
// and pair[1] receive the buffers to read. No channel at all gives two null buffers,
// which read as silence. Any thread; no allocation.
template <class Sample> void FeedInputPair(Sample* const* channels, int count, Sample** pair) {
    pair[0] = count > 0 ? channels[0] : nullptr;
    pair[1] = count > 1 ? channels[1] : pair[0];
}
