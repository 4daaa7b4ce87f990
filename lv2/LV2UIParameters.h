#pragma once

#include "IEditorParameters.h"
#include "IParameter.h"
#include "LV2UI.h"

#include <vector>

class IEffectBase;
class IGraphicsRaster;

// The panel's parameters in an LV2 UI: a copy of the effect's parameter table, which the
// host's port values keep current, and whose edits go to the plug-in as port values in
// real units. Port i is parameter i. UI thread throughout.
class LV2UIParameters final : public IEditorParameters {
public:
    // Copies the table of effect; host outlives this.
    LV2UIParameters(const IEffectBase& effect, const LV2UIHost& host);

    void BeginParameterEdit(int index) override;
    void SetParameterFromEditor(int index, double normalized) override;
    void EndParameterEdit(int index) override;
    const IParameter* DescribeParameter(int index) const override;
    void PanelSizeChanged(int width, int height) override;

    int Count() const { return static_cast<int>(parameters.size()); }
    // The panel whose size the host hears of, in its device pixels.
    void ShowsOn(const IGraphicsRaster* panel) { shownOn = panel; }
    // A port value from the host; false for a port that is not a parameter's.
    bool PortChanged(uint32_t port, float value);

private:
    std::vector<IParameter> parameters;
    const LV2UIHost& host;
    const IGraphicsRaster* shownOn = nullptr;
};
