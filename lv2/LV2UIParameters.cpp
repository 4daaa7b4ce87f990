#include "LV2UIParameters.h"

#include "IGraphicsRaster.h"

#include "IEffectBase.h"
#include "LV2Product.h"

LV2UIParameters::LV2UIParameters(const IEffectBase& effect, const LV2UIHost& h) : host(h) {
    for (int i = 0; i < effect.ParameterCount(); ++i)
        parameters.push_back(*effect.ParameterAt(i));
}

void LV2UIParameters::BeginParameterEdit(int index) {
    if (DescribeParameter(index))
        host.Touch(static_cast<uint32_t>(index), true);
}

void LV2UIParameters::SetParameterFromEditor(int index, double normalized) {
    if (!DescribeParameter(index))
        return;
    IParameter& parameter = parameters[static_cast<std::size_t>(index)];
    parameter.SetFromNormalized(normalized);
    host.Write(static_cast<uint32_t>(index), static_cast<float>(parameter.Value()));
}

void LV2UIParameters::EndParameterEdit(int index) {
    if (DescribeParameter(index))
        host.Touch(static_cast<uint32_t>(index), false);
}

const IParameter* LV2UIParameters::DescribeParameter(int index) const {
    return index >= 0 && index < Count() ? &parameters[static_cast<std::size_t>(index)] : nullptr;
}

void LV2UIParameters::PanelSizeChanged(int width, int height) {
    if (shownOn)
        host.Resize(shownOn->DeviceWidth(), shownOn->DeviceHeight());
    else
        host.Resize(width, height);
}

bool LV2UIParameters::PortChanged(uint32_t port, float value) {
    if (port >= parameters.size())
        return false;
    parameters[port].SetFromReal(static_cast<double>(value));
    return true;
}
