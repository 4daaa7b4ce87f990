// Presets and state chunks of the plug-in base.
#include "IEffectBase.h"

#include <algorithm>
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

bool IEffectBase::SaveProgramState(StateChunk& chunk) {
    return WriteInHeldRoom(
        chunk, [this] { plugLock.Lock(); },
        [this](StateChunk& room) { return WriteProgramState(room); },
        [this] { plugLock.Unlock(); });
}

bool IEffectBase::WriteProgramState(StateChunk& chunk) {
    BeginVersionedChunk(chunk);
    return SaveState(chunk);
}

IStateRead IEffectBase::ReadProgramState(const StateChunk& chunk, IProgramState& state) const {
    int position = 0;
    ReadChunkVersion(chunk, &position);
    if (position < 0) {
        state.values.count = 0;
        state.values.end = -1;
        state.read = IStateRead::kUnreadable;
    } else {
        state.read = ReadState(chunk, position, state.values) < 0 ? IStateRead::kPartial
                                                                  : IStateRead::kWhole;
    }
    return state.read;
}

bool IEffectBase::ApplyProgramState(const IProgramState& state) {
    if (state.read == IStateRead::kUnreadable)
        return false;
    ScopedPlugLock lock(plugLock);
    const int position = ApplyParamValues(state.values);
    UpdateCurrentPreset(nullptr);
    RefreshEditorControls();
    return position >= 0;
}

int IEffectBase::UnserializeParams(const StateChunk& chunk, int position) {
    ScopedPlugLock lock(plugLock);
    ReadParamValues(chunk, position, presetValues);
    return ApplyParamValues(presetValues);
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
    preset->values.Reserve(2 * static_cast<int>(sizeof(double)) * ParameterCount());
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
    IBankValues bank;
    ReadPresets(chunk, position, bank);
    return ApplyPresets(bank);
}

int IEffectBase::ReadPresets(const StateChunk& chunk, int position, IBankValues& bank) const {
    if (bank.presets.size() < presets.size())
        bank.presets.resize(presets.size());
    bank.count = 0;
    for (std::size_t i = 0; i < presets.size() && position >= 0; ++i) {
        IPresetValues& read = bank.presets[i];
        const int nameEnd = chunk.GetText(read.name, sizeof read.name, position);
        // A bank never stores an empty name; such a preset keeps the one it has.
        read.named = nameEnd >= 0 && read.name[0];
        uint8_t initialized = 0;
        position = nameEnd < 0 ? -1 : chunk.GetBytes(&initialized, 1, nameEnd);
        read.flagRead = position >= 0;
        read.initialized = initialized != 0;
        bank.count = static_cast<int>(i + 1);
        if (read.flagRead && read.initialized)
            position = ReadParamValues(chunk, position, read.values);
    }
    bank.end = position;
    return position;
}

int IEffectBase::ApplyPresets(const IBankValues& bank) {
    ScopedPlugLock lock(plugLock);
    const std::size_t count = std::min(
        {static_cast<std::size_t>(std::max(bank.count, 0)), bank.presets.size(), presets.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const IPresetValues& read = bank.presets[i];
        IPreset& preset = *presets[i];
        if (read.named)
            CopyText(preset.name, read.name, sizeof preset.name);
        if (!read.flagRead)
            break;
        preset.initialized = read.initialized;
        if (!preset.initialized)
            continue;
        // The values go live first; what the preset stores is then every live value.
        if (ApplyParamValues(read.values) > 0) {
            preset.values.Clear();
            SerializeParamValues(preset.values);
        }
    }
    LoadPreset(currentPreset);
    return bank.end;
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
