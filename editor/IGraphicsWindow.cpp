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
    const int widthChange = newWidth - Width();
    const int heightChange = newHeight - Height();
    IGraphicsRaster::ResizeEditor(newWidth, newHeight);
    if (RAS_IBitmap* drawSurface = Surface())
        drawSurface->SetSize(newWidth, newHeight);
    ResizeWindow(widthChange, heightChange);
}
