#pragma once

#include "IGraphicsRaster.h"
#include "raster/RAS_Resources.h"

#include <memory>

struct HWND__; // a Windows window, in the one operation only Windows has

// The editor as the host sees it: the raster drawing context plus a window inside the
// host's. The window, the value entry, the dialogs and text drawing are platform code,
// one file per platform, each keeping its state in the Platform record it defines.
class IGraphicsWindow : public IGraphicsRaster {
public:
    // module: where the image resources live (the plug-in module's own handle).
    IGraphicsWindow(IEditorParameters* parameters, int width, int height, int fps,
                    RAS_ModuleHandle module);
    ~IGraphicsWindow() override;

    // UI thread. Copies rect of the surface to the screen.
    bool PresentRegion(const IRectangle& rect) override;
    bool DrawLabel(const ITextStyle& style, const char* text, const IRectangle& rect) override;
    // UI thread. The surface and the open window follow the new panel size, or scale.
    void ResizeEditor(int width, int height) override;
    void SetScale(double scale) override;
    void SetPanelSize(int width, int height) override;
    // UI thread. A scale a host or the user chose stays; one that was not chosen is the
    // system's, which the window follows where the system tells it of a change (a move
    // to a monitor of another density on Windows).
    void SetWindowScale(double scale, bool chosen);
    bool ScaleChosen() const { return scaleChosen; }
    // UI thread (it may ask the window system): device pixels per panel unit the window
    // system asks for; 0 when it says nothing.
    static double SystemScale();
    void OpenValueEntry(IControl* control, const IParameter* parameter) override;
    void HostDirectory(char* out) override;
    void ModuleDirectory(char* out) override;
    void AskForFile(char* out, int action, const char* directory, const char* extensions) override;
    bool AskForColor(IDrawColor* colour, const char* caption) override;
    bool OpenLink(const char* address, const char* caption, const char* confirmation,
                  const char* error) override;
    // UI thread. A child window of parent showing the panel; null when none can be made.
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    void* WindowHandle() override;
    // UI thread, on the host's idle tick: where a window without a timer of its own refreshes.
    void EditorIdle();
    // UI thread. The descriptor that becomes readable when the open window has events to
    // handle in EditorIdle; -1 where there is none (no window open, a window system that
    // needs none).
    int EventDescriptor() const;
    // Decodes the PNG resource id of the module into a new bitmap.
    RAS_IBitmap* DecodeImageResource(int resourceId, const char* name) override;

    RAS_ModuleHandle Module() const { return module; }

private:
    struct Platform;
    // Windows: the panel takes the density of window's monitor, unless the scale was
    // chosen, and the host hears of the new size.
    void FollowMonitorScale(HWND__* window);
    // Platform part of ResizeEditor and SetScale: grows the open window by the change in
    // its size in device pixels.
    void ResizeWindow(int widthChange, int heightChange);
    struct PlatformDeleter {
        void operator()(Platform* state) const;
    };

    RAS_ModuleHandle module;
    bool scaleChosen = false;
    std::unique_ptr<Platform, PlatformDeleter> platform;
};
