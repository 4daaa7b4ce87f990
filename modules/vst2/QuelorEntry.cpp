#include "QuelorEntry.h"

#include "Quelor.h"
#include "QuelorEditorFactory.h"
#include "VSTEntry.h"

IEffectVST* MakeQuelorVST(audioMasterCallback hostCallback) {
    // The adapter owns the effect; Quelor takes no MIDI.
    return new IEffectVST(hostCallback, Quelor::kProduct.create(&QuelorEditorFactory()), false);
}

AEffect* QuelorPluginMain(audioMasterCallback hostCallback) {
    return VSTCreateEffect(hostCallback, MakeQuelorVST);
}
