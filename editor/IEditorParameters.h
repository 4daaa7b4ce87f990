#pragma once

class IParameter;

// The parameters as the editor reaches them. The editor never holds the processing
// instance itself: in the VST 2 module this forwards to the plug-in in the same
// process; a UI in another process forwards to whatever carries values to the DSP.
class IEditorParameters {
public:
    virtual ~IEditorParameters() = default;

    // UI thread. A user's gesture on parameter index begins; values follow, then the end.
    virtual void BeginParameterEdit(int index) = 0;
    // UI thread. A normalized value the user chose.
    virtual void SetParameterFromEditor(int index, double normalized) = 0;
    virtual void EndParameterEdit(int index) = 0;
    // Any thread. Name, range, texts and current value of parameter index, or null when
    // there is none. Its value may be read while another thread sets it.
    virtual const IParameter* DescribeParameter(int index) const = 0;
    // UI thread. The panel has a new size.
    virtual void PanelSizeChanged(int width, int height) = 0;
};
