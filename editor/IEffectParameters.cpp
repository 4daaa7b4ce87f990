#include "IEffectParameters.h"

#include "IEffectBase.h"

void IEffectParameters::BeginParameterEdit(int index) {
    if (plug.ParameterAt(index))
        plug.NotifyHostEditBegin(index);
}

void IEffectParameters::SetParameterFromEditor(int index, double normalized) {
    plug.SetParameterFromGUI(index, normalized);
}

void IEffectParameters::EndParameterEdit(int index) {
    if (plug.ParameterAt(index))
        plug.NotifyHostEditEnd(index);
}

const IParameter* IEffectParameters::DescribeParameter(int index) const {
    return plug.ParameterAt(index);
}

void IEffectParameters::PanelSizeChanged(int width, int height) {
    plug.EditorSizeChanged(width, height);
}
