#include "CLAPPlugin.h"

#include <cmath>
#include <cstring>

namespace {
// Hosts read a stepped parameter's steps as integers and show each one's text: switches
// and choices are enums.
uint32_t FlagsOf(const IParameter& parameter) {
    uint32_t flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (parameter.IsIntegerValued())
        flags |= CLAP_PARAM_IS_STEPPED;
    if (parameter.Kind() == kKindChoice || parameter.Kind() == kKindToggle)
        flags |= CLAP_PARAM_IS_ENUM;
    return flags;
}

clap_event_header_t OutHeader(uint16_t type, uint32_t size) {
    return {size, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
} // namespace

uint32_t CLAPPlugin::ParamCount() {
    if (!Admit(CLAPCall::kParamsCount))
        return 0;
    return static_cast<uint32_t>(Effect().ParameterCount());
}

bool CLAPPlugin::ParamInfo(uint32_t index, clap_param_info_t* info) {
    if (!Admit(CLAPCall::kParamsGetInfo) || !info)
        return false;
    const IParameter* parameter = Parameter(index);
    if (!parameter)
        return false;
    *info = clap_param_info_t{};
    info->id = index;
    info->flags = FlagsOf(*parameter);
    CopyText(info->name, parameter->NameForHost(), sizeof info->name);
    info->min_value = parameter->Minimum();
    info->max_value = parameter->Maximum();
    info->default_value = runtime.DefaultOf(static_cast<int>(index)).value;
    return true;
}

bool CLAPPlugin::ParamValue(clap_id id, double* value) {
    if (!Admit(CLAPCall::kParamsGetValue) || !value)
        return false;
    const IParameter* parameter = Parameter(id);
    if (!parameter)
        return false;
    *value = parameter->Value();
    return true;
}

// The display text, with the unit where a number is shown: what text_to_value reads back.
bool CLAPPlugin::ValueToText(clap_id id, double value, char* text, uint32_t capacity) {
    if (!Admit(CLAPCall::kParamsValueToText) || !text || capacity == 0 || !std::isfinite(value))
        return false;
    const IParameter* parameter = Parameter(id);
    if (!parameter)
        return false;
    char shown[kParameterTextSize];
    parameter->FormatForHost(parameter->ValueFromReal(value), false, shown);
    int32_t named = 0;
    char withUnit[2 * kParameterTextSize];
    if (*parameter->LabelForHost() && !parameter->FindValueText(shown, &named))
        std::snprintf(withUnit, sizeof withUnit, "%s %s", shown, parameter->LabelForHost());
    else
        CopyText(withUnit, shown, sizeof withUnit);
    CopyText(text, withUnit, capacity);
    return true;
}

bool CLAPPlugin::TextToValue(clap_id id, const char* text, double* value) {
    if (!Admit(CLAPCall::kParamsTextToValue) || !text || !value)
        return false;
    const IParameter* parameter = Parameter(id);
    return parameter && parameter->ParseFromHost(text, value);
}

// Parameter traffic while process does not run: the panel's edits out, the host's values
// in, applied at once. Nothing is processed, whether or not processing has stopped.
void CLAPPlugin::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    if (!Admit(CLAPCall::kParamsFlush))
        return;
    SendEdits(out);
    runtime.ApplyChanges(IValueUnit::kReal, ChangeReader(*this, in));
}

// Hands the queued edits to the host in order; one it refuses stays first in line.
void CLAPPlugin::SendEdits(const clap_output_events_t* out) {
    if (!out || !out->try_push)
        return;
    CLAPEditQueue::Edit edit;
    while (edits.Peek(edit)) {
        bool pushed = false;
        if (edit.kind == CLAPEditQueue::Kind::kValue) {
            clap_event_param_value_t event{OutHeader(CLAP_EVENT_PARAM_VALUE, sizeof event),
                                           edit.index,
                                           nullptr,
                                           -1,
                                           -1,
                                           -1,
                                           -1,
                                           edit.value};
            pushed = out->try_push(out, &event.header);
        } else {
            const uint16_t type = edit.kind == CLAPEditQueue::Kind::kBegin
                                      ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                      : CLAP_EVENT_PARAM_GESTURE_END;
            clap_event_param_gesture_t event{OutHeader(type, sizeof event), edit.index};
            pushed = out->try_push(out, &event.header);
        }
        if (!pushed)
            return;
        edits.Drop();
    }
}

void CLAPPlugin::QueueEdit(const CLAPEditQueue::Edit& edit) {
    if (!edits.Add(edit)) {
        threads.Log(CLAP_LOG_WARNING, "Quelor: too many edits waiting for the host; one is lost");
        return;
    }
    // A host that is processing takes them with the next block.
    if (!processing.load() && hostParams && hostParams->request_flush)
        hostParams->request_flush(host);
}

void CLAPPlugin::EditBegin(int index) {
    QueueEdit({CLAPEditQueue::Kind::kBegin, static_cast<uint32_t>(index), 0.0});
}

void CLAPPlugin::EditValue(int index, double, double value) {
    QueueEdit({CLAPEditQueue::Kind::kValue, static_cast<uint32_t>(index), value});
}

void CLAPPlugin::EditEnd(int index) {
    QueueEdit({CLAPEditQueue::Kind::kEnd, static_cast<uint32_t>(index), 0.0});
}
