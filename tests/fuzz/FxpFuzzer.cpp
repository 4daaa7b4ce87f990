// The render tool's program-file reader on arbitrary bytes, applied to the effect the way
// quelor-render applies a --program file. A refused file changes nothing; an accepted
// one leaves a state that writes out as a file which reads back to the same state.
#include "FuzzHost.h"
#include "FxpFile.h"
#include "QuelorEntry.h"

namespace {
void CheckWellFormed(const std::vector<uint8_t>& file) {
    Require(file.size() >= 8, "a written program file has its header");
    const uint32_t byteSize =
        uint32_t{file[4]} << 24 | uint32_t{file[5]} << 16 | uint32_t{file[6]} << 8 | file[7];
    Require(byteSize == file.size() - 8, "a written program file states its own size");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::Create(QuelorPluginMain, "Quelor", &error);
    Require(host != nullptr, "the entry point gives an effect");
    host->Open(48000.0, 512);

    const std::vector<uint8_t> before = MakeFxp(*host);
    CheckWellFormed(before);
    const std::vector<uint8_t> bytes(data, data + size);
    if (!ApplyFxp(*host, bytes, &error)) {
        Require(!error.empty(), "a refused program file comes with a reason");
        Require(MakeFxp(*host) == before, "a refused program file leaves the state alone");
        return 0;
    }
    AEffect* effect = host->Effect();
    CheckTextsAndValues(effect);
    const std::vector<uint8_t> after = MakeFxp(*host);
    CheckWellFormed(after);
    // A file holds normalized floats, and setting one snaps a choice to its step, so the
    // first read may settle the state; from then on writing and reading change nothing.
    std::string again;
    Require(ApplyFxp(*host, after, &again), "a written program file reads back");
    const std::vector<uint8_t> settled = MakeFxp(*host);
    Require(ApplyFxp(*host, settled, &again), "a written program file reads back");
    Require(MakeFxp(*host) == settled, "a program file read back writes the same file");
    return 0;
}
