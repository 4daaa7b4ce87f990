#include "VST2Programs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kUserProgramText = "user preset";
} // namespace

VST2Programs::VST2Programs(IEffectBase& plug) : effect(plug) {
    // A host lists at least one program.
    effect.EnsureOnePreset();
    // Twice the values' room, as loading a program that is not initialized appends.
    const int valueBytes = 2 * static_cast<int>(sizeof(double)) * effect.ParameterCount();
    for (int i = 0; i < effect.PresetCount(); ++i) {
        const IPreset& factory = *effect.PresetAt(i);
        auto program = std::make_unique<IPreset>();
        program->initialized = factory.initialized;
        CopyText(program->name, factory.name, sizeof program->name);
        program->values.Reserve(std::max(valueBytes, factory.values.Size()));
        program->values.Assign(factory.values.Data(), factory.values.Size());
        programs.push_back(std::move(program));
    }
    loaded.values.resize(static_cast<std::size_t>(effect.ParameterCount()));
}

const IPreset* VST2Programs::At(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return programs[static_cast<std::size_t>(index)].get();
}

const char* VST2Programs::Name(int index) const {
    const IPreset* program = At(index);
    return program ? program->name : "";
}

bool VST2Programs::Rename(int index, const char* name) {
    if (!At(index))
        return false;
    CopyText(programs[static_cast<std::size_t>(index)]->name, name, kPresetNameSize);
    return true;
}

bool VST2Programs::Load(int index) {
    if (!At(index))
        return false;
    ScopedPlugLock lock(effect.Lock());
    IPreset& program = *programs[static_cast<std::size_t>(index)];
    bool done;
    if (program.initialized) {
        effect.ReadParamValues(program.values, 0, loaded);
        done = effect.ApplyParamValues(loaded) > 0;
    } else {
        char name[kPresetNameSize];
        NextUserName(name);
        program.initialized = true;
        CopyText(program.name, name, sizeof program.name);
        done = effect.SerializeParamValues(program.values);
    }
    if (done) {
        current = index;
        effect.RefreshEditorControls();
    }
    return done;
}

void VST2Programs::UpdateCurrent(const char* name) {
    if (!At(current))
        return;
    IPreset& program = *programs[static_cast<std::size_t>(current)];
    program.values.Clear();
    effect.SerializeParamValues(program.values);
    if (name && *name)
        CopyText(program.name, name, sizeof program.name);
}

void VST2Programs::NextUserName(char* out) const {
    int count = 0;
    for (const auto& program : programs)
        if (std::strstr(program->name, kUserProgramText))
            ++count;
    std::snprintf(out, kPresetNameSize, "%s %d", kUserProgramText, count + 1);
}

bool VST2Programs::WriteBank(StateChunk& chunk) {
    BeginVersionedChunk(chunk);
    UpdateCurrent(nullptr);
    for (const auto& program : programs) {
        const uint8_t initialized = program->initialized ? 1 : 0;
        if (!chunk.PutText(program->name) || !chunk.PutBytes(&initialized, 1))
            return false;
        if (initialized && !chunk.PutBytes(program->values.Data(), program->values.Size()))
            return false;
    }
    return true;
}

int VST2Programs::ReadBank(const StateChunk& chunk, int position, IBankValues& bank) const {
    if (bank.presets.size() < programs.size())
        bank.presets.resize(programs.size());
    bank.count = 0;
    for (std::size_t i = 0; i < programs.size() && position >= 0; ++i) {
        IPresetValues& read = bank.presets[i];
        const int nameEnd = chunk.GetText(read.name, sizeof read.name, position);
        // A bank never stores an empty name; such a program keeps the one it has.
        read.named = nameEnd >= 0 && read.name[0];
        uint8_t initialized = 0;
        position = nameEnd < 0 ? -1 : chunk.GetBytes(&initialized, 1, nameEnd);
        read.flagRead = position >= 0;
        read.initialized = initialized != 0;
        bank.count = static_cast<int>(i + 1);
        if (read.flagRead && read.initialized)
            position = effect.ReadParamValues(chunk, position, read.values);
    }
    bank.end = position;
    return position;
}

int VST2Programs::ApplyBank(const IBankValues& bank) {
    ScopedPlugLock lock(effect.Lock());
    const std::size_t count = std::min(
        {static_cast<std::size_t>(std::max(bank.count, 0)), bank.presets.size(), programs.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const IPresetValues& read = bank.presets[i];
        IPreset& program = *programs[i];
        if (read.named)
            CopyText(program.name, read.name, sizeof program.name);
        if (!read.flagRead)
            break;
        program.initialized = read.initialized;
        if (!program.initialized)
            continue;
        // The values go live first; what the program stores is then every live value.
        if (effect.ApplyParamValues(read.values) > 0) {
            program.values.Clear();
            effect.SerializeParamValues(program.values);
        }
    }
    Load(current);
    return bank.end;
}
