#include "VSTEntry.h"

#include "CreationLock.h"

#include <new>

AEffect* VSTCreateEffect(audioMasterCallback hostCallback, VSTEffectFactory make) {
    ScopedCreationLock lock;
    IEffectVST* plug = nullptr;
    // Nothing may unwind into a host written in C: a failed allocation anywhere
    // in construction becomes the null answer.
    try {
        plug = make(hostCallback);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return plug ? plug->Record() : nullptr;
}
