#pragma once

// What the plug-in base needs of an attached editor. The editor framework's
// drawing context implements it; the base owns the editor once attached.
class IEditorLink {
public:
    virtual ~IEditorLink() = default;

    // Shows a parameter's value on the controls bound to it.
    virtual void PushParamToControls(int index, double value, bool isNormalized) = 0;
    // Makes the surface the editor paints on.
    virtual void CreateDrawSurface() = 0;
    // Stores a display value (meters, LEDs) into the control at index.
    virtual void SetControlValue(int index, double value) = 0;
};
