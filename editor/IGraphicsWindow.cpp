#include "IGraphicsWindow.h"

#include "raster/RAS_PNG.h"

IGraphicsWindow::IGraphicsWindow(IEditorParameters* owner, int panelWidth, int panelHeight,
                                 int framesPerSecond, RAS_ModuleHandle imageModule)
    : IGraphicsRaster(owner, panelWidth, panelHeight, framesPerSecond), module(imageModule) {}

IGraphicsWindow::~IGraphicsWindow() {
    CloseEditorWindow();
}

RAS_IBitmap* IGraphicsWindow::DecodeImageResource(int resourceId, const char*) {
    return RAS_DecodePNGResource(module, resourceId, nullptr);
}

void IGraphicsWindow::ResizeEditor(int newWidth, int newHeight) {
    const int oldWidth = DeviceWidth();
    const int oldHeight = DeviceHeight();
    IGraphicsRaster::ResizeEditor(newWidth, newHeight);
    if (RAS_IBitmap* drawSurface = Surface())
        drawSurface->SetSize(DeviceWidth(), DeviceHeight());
    ResizeWindow(DeviceWidth() - oldWidth, DeviceHeight() - oldHeight);
}

void IGraphicsWindow::SetPanelSize(int newWidth, int newHeight) {
    const int oldWidth = DeviceWidth();
    const int oldHeight = DeviceHeight();
    IGraphicsRaster::SetPanelSize(newWidth, newHeight);
    ResizeWindow(DeviceWidth() - oldWidth, DeviceHeight() - oldHeight);
}

void IGraphicsWindow::SetScale(double wanted) {
    const int oldWidth = DeviceWidth();
    const int oldHeight = DeviceHeight();
    IGraphicsRaster::SetScale(wanted);
    ResizeWindow(DeviceWidth() - oldWidth, DeviceHeight() - oldHeight);
}

void IGraphicsWindow::SetWindowScale(double wanted, bool chosen) {
    scaleChosen = chosen;
    SetScale(wanted);
}
