#include "LV2UI.h"

#include "LV2Options.h"

#include <lv2/atom/atom.h>

#include <cstring>
#include <memory>

void LV2UIHost::Write(uint32_t port, float value) const {
    writeFunction(controller, port, sizeof value, 0, &value);
}

void LV2UIHost::Touch(uint32_t port, bool grabbed) const {
    if (touch && touch->touch)
        touch->touch(touch->handle, port, grabbed);
}

void LV2UIHost::Resize(int width, int height) const {
    if (resize && resize->ui_resize)
        resize->ui_resize(resize->handle, width, height);
}

namespace {

// One open panel: the host's side and the panel, which closes its window when destroyed.
struct LV2UIInstance {
    LV2UIHost host;
    std::unique_ptr<ILV2Panel> panel;
};

LV2UIInstance* InstanceOf(LV2UI_Handle handle) {
    return static_cast<LV2UIInstance*>(handle);
}

// The panel lives inside the host's window, so a host that gives none gets no panel.
LV2UI_Handle Instantiate(const LV2UI_Descriptor* descriptor, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        const LV2_Feature* feature = *f;
        if (!feature->URI)
            continue;
        if (std::strcmp(feature->URI, LV2_UI__parent) == 0)
            parent = feature->data;
        else if (std::strcmp(feature->URI, LV2_UI__resize) == 0)
            resize = static_cast<const LV2UI_Resize*>(feature->data);
        else if (std::strcmp(feature->URI, LV2_UI__touch) == 0)
            touch = static_cast<const LV2UI_Touch*>(feature->data);
    }
    if (!descriptor || !write || !widget || !parent)
        return nullptr;
    const LV2UIProduct& product =
        *reinterpret_cast<const LV2UIProductDescriptor*>(descriptor)->product;
    // Nothing may unwind into the C host: memory that fails is a panel that is not there.
    std::unique_ptr<LV2UIInstance> instance;
    void* window = nullptr;
    try {
        instance =
            std::make_unique<LV2UIInstance>(LV2UIInstance{{write, controller, touch, resize}, {}});
        instance->panel.reset(product.createPanel(instance->host));
        if (float scale = 0.0f; instance->panel &&
                                ReadLV2Option(features, LV2_UI__scaleFactor, LV2_ATOM__Float,
                                              &scale, sizeof scale))
            instance->panel->SetScale(static_cast<double>(scale));
        if (instance->panel)
            window = instance->panel->Open(parent);
    } catch (...) {
        return nullptr;
    }
    if (!window)
        return nullptr;
    *widget = window;
    instance->host.Resize(instance->panel->Width(), instance->panel->Height());
    return instance.release();
}

void Cleanup(LV2UI_Handle handle) {
    delete InstanceOf(handle);
}

// Control ports only: their values come as one float.
void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    if (format != 0 || size != sizeof(float) || !buffer)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    InstanceOf(handle)->panel->PortChanged(port, value);
}

int Idle(LV2UI_Handle handle) {
    InstanceOf(handle)->panel->Idle();
    return 0;
}

// The host's resize of its window reaches the panel; the host already knows the size.
int HostResized(LV2UI_Feature_Handle handle, int width, int height) {
    InstanceOf(handle)->panel->FitTo(width, height);
    return 0;
}

const void* ExtensionData(const char* uri) {
    static const LV2UI_Idle_Interface idle{Idle};
    static const LV2UI_Resize resize{nullptr, HostResized};
    if (!uri)
        return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idle;
    return std::strcmp(uri, LV2_UI__resize) == 0 ? &resize : nullptr;
}
} // namespace

LV2UIProductDescriptor MakeLV2UIDescriptor(const LV2UIProduct& product) {
    return {{product.uiUri, Instantiate, Cleanup, PortEvent, ExtensionData}, &product};
}
