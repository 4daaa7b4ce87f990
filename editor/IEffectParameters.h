#pragma once

#include "IEditorParameters.h"

class IEffectBase;

// The editor's parameters when the plug-in runs in the same process: every call
// goes to the plug-in base, which tells the host.
class IEffectParameters : public IEditorParameters {
public:
    explicit IEffectParameters(IEffectBase& effect) : plug(effect) {}

    void BeginParameterEdit(int index) override;
    void SetParameterFromEditor(int index, double normalized) override;
    void EndParameterEdit(int index) override;
    const IParameter* DescribeParameter(int index) const override;
    void PanelSizeChanged(int width, int height) override;

private:
    IEffectBase& plug;
};
