#pragma once

#include "ChunkValues.h"
#include "IEffectBase.h"

#include <memory>
#include <vector>

// VST 2's program list and bank chunk: a copy of the effect's factory presets that the
// host may rename, switch between, and store or restore all at once. No other format
// has a current program or a bank, so they live here, beside the adapter.
//
// The bank's bytes, which stored projects and .fxb files hold: the program chunk's header
// ('pfft', a version), then for each program its name as a length-prefixed text, a byte
// that says whether it is initialized and, when it is, each parameter's value as 8 bytes.
class VST2Programs {
public:
    // Host thread, while the adapter is built: the effect's presets copied (one made of
    // its values when it has none), each with room for values stored under the lock.
    explicit VST2Programs(IEffectBase& effect);
    VST2Programs(const VST2Programs&) = delete;
    VST2Programs& operator=(const VST2Programs&) = delete;

    // Plug-in lock held, for the calls below that do not say otherwise.
    int Count() const { return static_cast<int>(programs.size()); }
    int Current() const { return current; }
    // The program's name; "" for an index that is not a program.
    const char* Name(int index) const;
    const IPreset* At(int index) const;
    // Renames a program, cutting to 255 characters; false for an index that is not one.
    bool Rename(int index, const char* name);
    // Takes the plug-in lock. The program's values become live, or a program never
    // initialized takes the live values and the next user program's name. False for an
    // index that is not a program.
    bool Load(int index);
    // Takes the plug-in lock: the current program stores the live values, and takes name
    // unless it is null or empty.
    void UpdateCurrent(const char* name);
    // "user preset N", N one more than the programs whose names contain the words.
    void NextUserName(char* out) const;

    // The bank. Plug-in lock held, the chunk's room held: header and programs into chunk,
    // the current program updated first.
    bool WriteBank(StateChunk& chunk);
    // Any thread, without the plug-in lock: the programs of a bank from position, behind
    // the header; bank grows only when it holds fewer than there are programs.
    int ReadBank(const StateChunk& chunk, int position, IBankValues& bank) const;
    // Takes the plug-in lock: names, flags and values of the programs read, each one's
    // values made live and stored, then the current program loaded again. Returns the
    // position the reading ended at.
    int ApplyBank(const IBankValues& bank);

private:
    IEffectBase& effect;
    std::vector<std::unique_ptr<IPreset>> programs;
    int current = 0;
    IParamValues loaded; // what Load reads, sized at construction
};
