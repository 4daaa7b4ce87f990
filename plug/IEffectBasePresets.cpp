// Presets and state chunks of the plug-in base.
#include "IEffectBase.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int32_t kChunkMagic = 0x70666674; // 'pfft': the bytes t f f p
constexpr int32_t kChunkVersion = 0x00010000;
constexpr const char* kUserPresetText = "user preset";
} // namespace

bool IEffectBase::SerializeParamValues(StateChunk& chunk) {
    ScopedPlugLock lock(plugLock);
    for (const auto& parameter : parameters)
        if (!chunk.PutDouble(parameter->Value()))
            return false;
    return chunk.Size() > 0 || parameters.empty();
}

int IEffectBase::UnserializeParams(const StateChunk& chunk, int position) {
    ScopedPlugLock lock(plugLock);
    for (const auto& parameter : parameters) {
        if (position < 0)
            break;
        double v = 0.0;
        position = chunk.GetDouble(&v, position);
        parameter->SetLimited(position < 0 ? 0.0 : v);
    }
    for (int i = 0; i < ParameterCount(); ++i)
        ParameterChanged(i);
    ResetProcessing();
    return position;
}

const IPreset* IEffectBase::PresetAt(int index) const {
    if (index < 0 || index >= PresetCount())
        return nullptr;
    return presets[static_cast<std::size_t>(index)].get();
}

const char* IEffectBase::PresetName(int index) const {
    const IPreset* preset = PresetAt(index);
    return preset ? preset->name : "";
}

bool IEffectBase::SetPresetName(int index, const char* name) {
    if (!PresetAt(index))
        return false;
    CopyText(presets[static_cast<std::size_t>(index)]->name, name, kPresetNameSize);
    return true;
}

bool IEffectBase::LoadPreset(int index) {
    if (!PresetAt(index))
        return false;
    IPreset& preset = *presets[static_cast<std::size_t>(index)];
    bool loaded;
    if (preset.initialized) {
        loaded = UnserializeParams(preset.values, 0) > 0;
    } else {
        char name[kPresetNameSize];
        NextUserPresetName(name);
        preset.initialized = true;
        CopyText(preset.name, name, sizeof preset.name);
        loaded = SerializeParamValues(preset.values);
    }
    if (loaded) {
        currentPreset = index;
        RefreshEditorControls();
    }
    return loaded;
}

void IEffectBase::UpdateCurrentPreset(const char* name) {
    if (!PresetAt(currentPreset))
        return;
    IPreset& preset = *presets[static_cast<std::size_t>(currentPreset)];
    preset.values.Clear();
    SerializeParamValues(preset.values);
    if (name && *name)
        CopyText(preset.name, name, sizeof preset.name);
}

void IEffectBase::NextUserPresetName(char* out) const {
    int count = 0;
    for (const auto& preset : presets)
        if (std::strstr(preset->name, kUserPresetText))
            ++count;
    std::snprintf(out, kPresetNameSize, "%s %d", kUserPresetText, count + 1);
}

bool IEffectBase::AddPresetFromValueList(const char* name, const double* values, int count) {
    if (count != ParameterCount())
        return false;
    for (auto& preset : presets) {
        if (preset->initialized)
            continue;
        preset->initialized = true;
        CopyText(preset->name, name, sizeof preset->name);
        preset->values.Clear();
        for (int i = 0; i < count; ++i)
            if (!preset->values.PutDouble(values[i]))
                return false;
        return true;
    }
    return false;
}

void IEffectBase::EnsureOnePreset() {
    if (!presets.empty())
        return;
    auto preset = std::make_unique<IPreset>();
    preset->initialized = true;
    CopyText(preset->name, "Default", sizeof preset->name);
    SerializeParamValues(preset->values);
    presets.push_back(std::move(preset));
}

bool IEffectBase::SerializeAllPresets(StateChunk& chunk) {
    for (const auto& preset : presets) {
        const uint8_t initialized = preset->initialized ? 1 : 0;
        if (!chunk.PutText(preset->name) || !chunk.PutBytes(&initialized, 1))
            return false;
        if (initialized && !chunk.PutBytes(preset->values.Data(), preset->values.Size()))
            return false;
    }
    return true;
}

int IEffectBase::UnserializeAllPresets(const StateChunk& chunk, int position) {
    for (auto& preset : presets) {
        if (position < 0)
            break;
        char name[kPresetNameSize];
        const int nameEnd = chunk.GetText(name, sizeof name, position);
        // A bank never stores an empty name; such a preset keeps the one it has.
        if (nameEnd >= 0 && name[0])
            CopyText(preset->name, name, sizeof preset->name);
        uint8_t initialized = 0;
        position = nameEnd < 0 ? -1 : chunk.GetBytes(&initialized, 1, nameEnd);
        if (position < 0)
            break;
        preset->initialized = initialized != 0;
        if (!preset->initialized)
            continue;
        position = UnserializeParams(chunk, position);
        if (position > 0) {
            preset->values.Clear();
            SerializeParamValues(preset->values);
        }
    }
    LoadPreset(currentPreset);
    return position;
}

void IEffectBase::BeginVersionedChunk(StateChunk& chunk) {
    chunk.Clear();
    chunk.PutInt32(kChunkMagic);
    chunk.PutInt32(kChunkVersion);
}

int32_t IEffectBase::ReadChunkVersion(const StateChunk& chunk, int* position) {
    int32_t magic = 0;
    const int behindMagic = chunk.GetInt32(&magic, *position);
    if (behindMagic < 0 || magic != kChunkMagic)
        return 0;
    int32_t chunkVersion = 0;
    *position = chunk.GetInt32(&chunkVersion, behindMagic);
    return *position < 0 ? 0 : chunkVersion;
}

void IEffectBase::RefreshEditorControls() {
    if (!editor)
        return;
    for (int i = 0; i < ParameterCount(); ++i)
        editor->PushParamToControls(i, parameters[static_cast<std::size_t>(i)]->Value(), false);
}
