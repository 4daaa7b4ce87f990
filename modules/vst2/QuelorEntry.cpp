#include "QuelorEntry.h"

#include "Quelor.h"
#include "VSTEntry.h"

AEffect* QuelorPluginMain(audioMasterCallback hostCallback) {
    return VSTCreateEffect(
        hostCallback, [](audioMasterCallback host) -> IEffectVST* { return new Quelor(host); });
}
