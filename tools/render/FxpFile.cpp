#include "FxpFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
constexpr int32_t kChunkMagic = 0x43636E4B;    // 'CcnK'
constexpr int32_t kParameterList = 0x4678436B; // 'FxCk'
constexpr int32_t kOpaqueChunk = 0x46504368;   // 'FPCh'
constexpr std::size_t kNameSize = 28;
constexpr std::size_t kHeaderSize = 4 * 7 + kNameSize; // up to and including prgName
constexpr std::size_t kLargestFile = 64u << 20;

void PutBig(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

class BigReader {
public:
    explicit BigReader(const std::vector<uint8_t>& b) : bytes(b) {}
    bool Get(uint32_t* v) {
        if (bytes.size() - at < 4)
            return false;
        *v = 0;
        for (int i = 0; i < 4; ++i)
            *v = *v << 8 | bytes[at++];
        return true;
    }
    bool GetInt(int32_t* v) {
        uint32_t u;
        if (!Get(&u))
            return false;
        *v = static_cast<int32_t>(u);
        return true;
    }
    bool Skip(std::size_t n) {
        if (bytes.size() - at < n)
            return false;
        at += n;
        return true;
    }
    std::size_t Position() const { return at; }
    std::size_t Left() const { return bytes.size() - at; }

private:
    const std::vector<uint8_t>& bytes;
    std::size_t at = 0;
};

std::string FourChars(int32_t v) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(static_cast<uint32_t>(v) >> shift & 0xFF);
        text += c >= 32 && c < 127 ? c : '?';
    }
    return text;
}
} // namespace

std::vector<uint8_t> MakeFxp(const PluginHost& host) {
    const AEffect* e = host.Effect();
    const bool chunked = (e->flags & effFlagsProgramChunks) != 0;
    std::vector<uint8_t> body;
    if (chunked) {
        uint8_t* data = nullptr;
        const intptr_t size = host.Dispatch(effGetChunk, 1, 0, &data);
        const auto count = size > 0 && data ? static_cast<std::size_t>(size) : 0;
        PutBig(body, static_cast<uint32_t>(count));
        body.insert(body.end(), data, data + count);
    } else {
        for (int i = 0; i < e->numParams; ++i)
            PutBig(body, std::bit_cast<uint32_t>(host.GetParameter(i)));
    }
    std::vector<uint8_t> out;
    PutBig(out, static_cast<uint32_t>(kChunkMagic));
    PutBig(out, static_cast<uint32_t>(kHeaderSize - 8 + body.size()));
    PutBig(out, static_cast<uint32_t>(chunked ? kOpaqueChunk : kParameterList));
    PutBig(out, 1);
    PutBig(out, static_cast<uint32_t>(e->uniqueID));
    PutBig(out, static_cast<uint32_t>(e->version));
    PutBig(out, static_cast<uint32_t>(e->numParams));
    char name[kNameSize] = {};
    const std::string program = host.ProgramName();
    std::memcpy(name, program.c_str(), std::min(program.size(), kNameSize - 1));
    out.insert(out.end(), name, name + kNameSize);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool ApplyFxp(const PluginHost& host, const std::vector<uint8_t>& bytes, std::string* error) {
    BigReader in(bytes);
    int32_t magic, byteSize, kind, version, id, fxVersion, count;
    if (!in.GetInt(&magic) || !in.GetInt(&byteSize) || !in.GetInt(&kind) || !in.GetInt(&version) ||
        !in.GetInt(&id) || !in.GetInt(&fxVersion) || !in.GetInt(&count) || magic != kChunkMagic) {
        *error = "not a program file (.fxp)";
        return false;
    }
    if (kind != kParameterList && kind != kOpaqueChunk) {
        *error = "not a single program: the file holds '" + FourChars(kind) + "'";
        return false;
    }
    if (id != host.Effect()->uniqueID) {
        *error = "the program is for plug-in '" + FourChars(id) + "', not '" +
                 FourChars(host.Effect()->uniqueID) + "'";
        return false;
    }
    char name[kNameSize + 1] = {};
    std::memcpy(name, bytes.data() + in.Position(), std::min(kNameSize, in.Left()));
    if (!in.Skip(kNameSize)) {
        *error = "the program file ends early";
        return false;
    }
    if (kind == kParameterList) {
        if (count < 0 || static_cast<std::size_t>(count) > in.Left() / 4) {
            *error = "the program file ends early";
            return false;
        }
        // Every value is checked before the first is set: a refused file changes nothing.
        std::vector<float> values(static_cast<std::size_t>(std::min(count, host.ParameterCount())));
        for (std::size_t i = 0; i < values.size(); ++i) {
            uint32_t raw = 0;
            in.Get(&raw);
            values[i] = std::bit_cast<float>(raw);
            if (!(values[i] >= 0.0f && values[i] <= 1.0f)) {
                *error = "parameter " + std::to_string(i) + " holds no normalized value";
                return false;
            }
        }
        for (std::size_t i = 0; i < values.size(); ++i)
            host.SetParameter(static_cast<int>(i), values[i]);
    } else {
        int32_t size = 0;
        if (!in.GetInt(&size) || size < 0 || static_cast<std::size_t>(size) > in.Left()) {
            *error = "the program file's chunk ends early";
            return false;
        }
        std::vector<uint8_t> chunk(bytes.begin() + static_cast<std::ptrdiff_t>(in.Position()),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(in.Position()) +
                                       size);
        // A plug-in may apply part of a chunk that it then refuses: its own program chunk
        // from before puts the state back.
        uint8_t* savedData = nullptr;
        const intptr_t savedSize = host.Dispatch(effGetChunk, 1, 0, &savedData);
        std::vector<uint8_t> saved;
        if (savedSize > 0 && savedData)
            saved.assign(savedData, savedData + savedSize);
        if (host.Dispatch(effSetChunk, 1, size, chunk.data()) != 1) {
            if (!saved.empty())
                host.Dispatch(effSetChunk, 1, static_cast<intptr_t>(saved.size()), saved.data());
            *error = "the plug-in refused the program's chunk";
            return false;
        }
    }
    if (name[0])
        host.Dispatch(effSetProgramName, 0, 0, name);
    return true;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    // The size first where the file has one; a pipe or a device is read in pieces
    // up to one byte past the limit, so that neither can exhaust memory.
    std::error_code failed;
    const bool regular = std::filesystem::is_regular_file(path, failed);
    if (regular && std::filesystem::file_size(path, failed) > kLargestFile) {
        *error = path + " is too large for a program file";
        return false;
    }
    bytes->clear();
    char piece[1 << 16];
    while (file && bytes->size() <= kLargestFile) {
        file.read(piece, sizeof piece);
        bytes->insert(bytes->end(), piece, piece + file.gcount());
    }
    if (bytes->size() > kLargestFile) {
        *error = path + " is too large for a program file";
        return false;
    }
    if (file.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}
