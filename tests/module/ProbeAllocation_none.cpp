// Under the sanitizers their runtime owns malloc: allocations are not watched there.
#include "LockProbe.h"

bool AllocationsWatched() {
    return false;
}
