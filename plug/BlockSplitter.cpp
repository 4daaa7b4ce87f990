#include "BlockSplitter.h"

#include "FatalAssert.h"

bool BlockSplitter::Change(int offset, int index, double value, IValueUnit unit) {
    QUELOR_DEBUG_ASSERT(plug.Lock().HeldByThisThread());
    RunUpTo(offset);
    return plug.SetParameterFromHost(index, value, unit);
}

void BlockSplitter::RunUpTo(int offset) {
    const int end = offset < blockFrames ? offset : blockFrames;
    if (end <= position)
        return;
    run(context, position, end - position);
    position = end;
}
