// The program state, parameter values and factory presets of the plug-in base.
#include "IEffectBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int32_t kChunkMagic = 0x70666674; // 'pfft': the bytes t f f p
constexpr int32_t kChunkVersion = 0x00010000;
} // namespace

bool IEffectBase::SerializeParamValues(StateChunk& chunk) {
    ScopedPlugLock lock(plugLock);
    for (const auto& parameter : parameters)
        if (!chunk.PutDouble(parameter->Value()))
            return false;
    return chunk.Size() > 0 || parameters.empty();
}

bool IEffectBase::SaveProgramState(StateChunk& chunk) {
    return WriteInHeldRoom(
        chunk, [this] { plugLock.Lock(); },
        [this](StateChunk& room) { return WriteProgramState(room); },
        [this] { plugLock.Unlock(); });
}

bool IEffectBase::WriteProgramState(StateChunk& chunk) {
    BeginVersionedChunk(chunk);
    return SerializeParamValues(chunk);
}

IStateRead IEffectBase::ReadProgramState(const StateChunk& chunk, IProgramState& state) const {
    int position = 0;
    ReadChunkVersion(chunk, &position);
    if (position < 0) {
        state.values.count = 0;
        state.values.end = -1;
        state.read = IStateRead::kUnreadable;
    } else {
        state.read = ReadParamValues(chunk, position, state.values) < 0 ? IStateRead::kPartial
                                                                        : IStateRead::kWhole;
    }
    return state.read;
}

bool IEffectBase::ApplyProgramState(const IProgramState& state) {
    if (state.read == IStateRead::kUnreadable)
        return false;
    ScopedPlugLock lock(plugLock);
    const int position = ApplyParamValues(state.values);
    RefreshEditorControls();
    return position >= 0;
}

int IEffectBase::ReadParamValues(const StateChunk& chunk, int position,
                                 IParamValues& values) const {
    if (values.values.size() < parameters.size())
        values.values.resize(parameters.size());
    values.count = 0;
    // The parameter whose bytes are missing still takes a value: 0, limited.
    for (std::size_t i = 0; i < parameters.size() && position >= 0; ++i) {
        double v = 0.0;
        position = chunk.GetDouble(&v, position);
        values.values[i] = position < 0 ? 0.0 : v;
        values.count = static_cast<int>(i + 1);
    }
    values.end = position;
    return position;
}

int IEffectBase::ApplyParamValues(const IParamValues& values) {
    ScopedPlugLock lock(plugLock);
    const std::size_t count = std::min({static_cast<std::size_t>(std::max(values.count, 0)),
                                        values.values.size(), parameters.size()});
    for (std::size_t i = 0; i < count; ++i)
        parameters[i]->SetLimited(values.values[i]);
    for (int i = 0; i < ParameterCount(); ++i)
        ParameterChanged(i);
    ResetProcessing();
    return values.end;
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

void BeginVersionedChunk(StateChunk& chunk) {
    chunk.Clear();
    chunk.PutInt32(kChunkMagic);
    chunk.PutInt32(kChunkVersion);
}

int32_t ReadChunkVersion(const StateChunk& chunk, int* position) {
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
