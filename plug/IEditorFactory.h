#pragma once

class IEditorLink;
class IEffectBase;

// How a product that has a panel builds it for an effect. The size is the panel's in
// panel units, fixed, so that a host can be told it before anything is built. Products whose panel runs in
// a binary of its own (the LV2 plug-in) give the effect none.
struct IEditorFactory {
    int width;
    int height;
    // UI thread, without the plug-in lock: a new editor over effect, with a window
    // (IEditorWindow), or null when none could be made. The effect owns it.
    IEditorLink* (*build)(IEffectBase& effect);
    // UI thread: device pixels per panel unit the window system asks for where a host
    // says nothing (1 when null).
    double (*systemScale)() = nullptr;
};
