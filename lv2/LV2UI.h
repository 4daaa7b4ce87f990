#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>

// The host's side of an LV2 panel: where its edits go. The panel talks to the plug-in
// only through the plug-in's ports, so it works where the host runs it apart.
class LV2UIHost {
public:
    LV2UIHost(LV2UI_Write_Function write, LV2UI_Controller host, const LV2UI_Touch* gestures,
              const LV2UI_Resize* resizer)
        : writeFunction(write), controller(host), touch(gestures), resize(resizer) {}

    // UI thread. A control port's new value, in the port's own units.
    void Write(uint32_t port, float value) const;
    // UI thread. A gesture on a port begins or ends; nothing when the host offers no ui:touch.
    void Touch(uint32_t port, bool grabbed) const;
    // UI thread. The panel's size; nothing when the host offers no ui:resize.
    void Resize(int width, int height) const;

private:
    LV2UI_Write_Function writeFunction;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    const LV2UI_Resize* resize;
};

// What the adapter needs of a product's panel. UI thread throughout.
class ILV2Panel {
public:
    virtual ~ILV2Panel() = default;
    // The size in device pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The host's scale factor (ui:scaleFactor), before the panel opens.
    virtual void SetScale(double scale) = 0;
    // The host resized its window (ui:resize): the largest panel of its aspect that fits,
    // within 1x to 3x.
    virtual void FitTo(int width, int height) = 0;
    // The panel's window as a child of the host's; null when none can be made.
    virtual void* Open(void* parentWindow) = 0;
    // The host's idle call: events and redraws.
    virtual void Idle() = 0;
    // A control port's value as the host reports it.
    virtual void PortChanged(uint32_t port, float value) = 0;
};

// What joins one panel to the LV2 UI adapter.
struct LV2UIProduct {
    const char* uiUri;
    // UI thread. A new panel that sends its edits to host, which outlives it.
    ILV2Panel* (*createPanel)(const LV2UIHost& host);
};

// The descriptor a product's lv2ui_descriptor hands to the host; instantiate finds the
// product through it.
struct LV2UIProductDescriptor {
    LV2UI_Descriptor descriptor;
    const LV2UIProduct* product;
};

LV2UIProductDescriptor MakeLV2UIDescriptor(const LV2UIProduct& product);
