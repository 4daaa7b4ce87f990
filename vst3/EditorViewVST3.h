#pragma once

#include "EditorIdleVST3.h"
#include "VST3Interface.h"

#include <atomic>

class IEffectVST3;

// The editor as a host embeds it: a view of the effect's panel in the window type of the
// platform, at the scale the host's content scale factor or the user's resize chose, with
// the panel's aspect kept. It keeps its plug-in alive (a reference) while it exists.
// Every call is on the host's UI thread; the window system is used without the plug-in
// lock.
class EditorViewVST3 final : public vst3::IPlugView, public vst3::IPlugViewContentScaleSupport {
public:
    // With one reference, the caller's.
    explicit EditorViewVST3(IEffectVST3& plug);

    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override;
    uint32_t PLUGIN_API addRef() override;
    uint32_t PLUGIN_API release() override;

    vst3::tresult PLUGIN_API isPlatformTypeSupported(vst3::FIDString type) override;
    // kResultFalse when the type is not ours, the panel cannot open, or the host offers
    // nothing that would keep it alive.
    vst3::tresult PLUGIN_API attached(void* parent, vst3::FIDString type) override;
    vst3::tresult PLUGIN_API removed() override;
    vst3::tresult PLUGIN_API onWheel(float) override { return vst3::kResultFalse; }
    vst3::tresult PLUGIN_API onKeyDown(vst3::char16, int16_t, int16_t) override {
        return vst3::kResultFalse;
    }
    vst3::tresult PLUGIN_API onKeyUp(vst3::char16, int16_t, int16_t) override {
        return vst3::kResultFalse;
    }
    vst3::tresult PLUGIN_API getSize(vst3::ViewRect* size) override;
    // The scale of the largest panel the size holds is taken.
    vst3::tresult PLUGIN_API onSize(vst3::ViewRect* newSize) override;
    vst3::tresult PLUGIN_API onFocus(vst3::TBool) override { return vst3::kResultOk; }
    vst3::tresult PLUGIN_API setFrame(vst3::IPlugFrame* frame) override;
    vst3::tresult PLUGIN_API canResize() override { return vst3::kResultTrue; }
    // Snaps rect to the panel's aspect, within 1x to 3x.
    vst3::tresult PLUGIN_API checkSizeConstraint(vst3::ViewRect* rect) override;
    // Before attached, or at any time; the host's frame is asked for the new size.
    vst3::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    // The panel's new size asked of the host's frame; false without a frame or when the
    // host refuses it.
    bool FollowPanelSize();

private:
    ~EditorViewVST3();
    EditorViewVST3(const EditorViewVST3&) = delete;
    EditorViewVST3& operator=(const EditorViewVST3&) = delete;

    vst3::ViewRect PanelRect() const;
    void Close();

    IEffectVST3& plug;
    std::atomic<uint32_t> references{1};
    vst3::IPlugFrame* frame = nullptr; // referenced
    EditorIdleVST3 idle;
    bool open = false;
};
