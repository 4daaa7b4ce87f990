// Writes the committed seed corpus: real chunks and program files made by the effect and
// the render tool's writer, and small PNG variants made by libpng. Run by hand when the
// formats change: quelor-fuzz-seeds <corpus dir>.
#include "FuzzHost.h"
#include "FxpFile.h"
#include "QuelorEntry.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {
std::filesystem::path gRoot;

void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (!WriteFileBytes((gRoot / name).string(), bytes, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

std::vector<uint8_t> Prefixed(uint8_t first, const std::vector<uint8_t>& rest) {
    std::vector<uint8_t> out{first};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

void ChunkSeeds() {
    AEffect* effect = OpenEffect();
    Write("chunk/bank", Prefixed(1, GetChunk(effect, true)));
    Write("chunk/program", Prefixed(0, GetChunk(effect, false)));
    effect->setParameter(effect, 3, 0.8f);
    Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("Squash"));
    // The same bytes as bank and program, then program 0 again.
    Write("chunk/bank-edited-both", Prefixed(7, GetChunk(effect, true)));
    // The values alone, without the header: read from the first byte.
    std::vector<uint8_t> bare = GetChunk(effect, false);
    bare.erase(bare.begin(), bare.begin() + 8);
    Write("chunk/program-bare", Prefixed(0, bare));
    CloseEffect(effect);
}

void FxpSeeds() {
    std::string error;
    auto host = PluginHost::Create(QuelorPluginMain, "Quelor", &error);
    host->Open(48000.0, 512);
    Write("fxp/default.fxp", MakeFxp(*host));
    host->SetParameter(0, 0.25f);
    host->SetParameter(11, 0.0f);
    host->Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Edited"));
    const std::vector<uint8_t> edited = MakeFxp(*host);
    Write("fxp/edited.fxp", edited);
    // The same program as an opaque chunk: 'FPCh' and the program chunk.
    std::vector<uint8_t> opaque(edited.begin(), edited.begin() + 56);
    opaque[8] = 'F', opaque[9] = 'P', opaque[10] = 'C', opaque[11] = 'h';
    uint8_t* data = nullptr;
    const auto size = static_cast<uint32_t>(host->Dispatch(effGetChunk, 1, 0, &data));
    for (int shift = 24; shift >= 0; shift -= 8)
        opaque.push_back(static_cast<uint8_t>(size >> shift));
    opaque.insert(opaque.end(), data, data + size);
    const auto byteSize = static_cast<uint32_t>(opaque.size() - 8);
    for (int i = 0; i < 4; ++i)
        opaque[4 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(byteSize >> (24 - 8 * i));
    Write("fxp/opaque.fxp", opaque);
}

void WritePng(const std::string& name, int width, int height, int depth, int colourType,
              int interlace, bool withTransparency) {
    std::FILE* file = std::fopen((gRoot / name).string().c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 depth, colourType, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    png_byte alphas[2] = {0, 128};
    png_color_16 key{};
    key.gray = 1;
    key.red = 1;
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, 4);
    if (withTransparency)
        png_set_tRNS(png, info, alphas, colourType == PNG_COLOR_TYPE_PALETTE ? 2 : 0, &key);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_byte> row(rowBytes);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                row[i] = static_cast<png_byte>(i * 37 + static_cast<std::size_t>(y) * 11);
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void PngSeeds() {
    WritePng("png/gray1.png", 5, 3, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, false);
    WritePng("png/gray8-key.png", 4, 4, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, true);
    WritePng("png/gray-alpha16.png", 3, 2, 16, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_INTERLACE_NONE,
             false);
    WritePng("png/palette2-trns.png", 7, 3, 2, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, true);
    WritePng("png/rgb8-interlaced.png", 9, 9, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7, false);
    WritePng("png/rgb16-key.png", 2, 3, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, true);
    WritePng("png/rgba8.png", 4, 2, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, false);
}

// The dispatcher fuzzer decodes its program from any bytes: a few varied strings start it.
void DispatcherSeeds() {
    uint32_t state = 12345;
    for (int seed = 0; seed < 4; ++seed) {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(96 + 64 * seed));
        for (uint8_t& b : bytes) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(state >> 24);
        }
        Write("dispatcher/program-" + std::to_string(seed), bytes);
    }
}
// The VST 3 fuzzer takes its state bytes from the front, their count from the last two
// bytes, and decodes its program from the bytes before those, last first: real states
// (the VST 2 program chunk's bytes) ahead of varied programs.
void Vst3Seeds() {
    AEffect* effect = OpenEffect();
    const std::vector<uint8_t> defaults = GetChunk(effect, false);
    effect->setParameter(effect, 6, 0.6f);
    effect->setParameter(effect, 4, 1.0f);
    const std::vector<uint8_t> edited = GetChunk(effect, false);
    CloseEffect(effect);
    uint32_t random = 424242;
    int seed = 0;
    for (const std::vector<uint8_t>* state : {&defaults, &edited, &edited}) {
        std::vector<uint8_t> bytes = *state;
        for (int i = 0; i < 160 + 120 * seed; ++i) {
            random = random * 1664525u + 1013904223u;
            bytes.push_back(static_cast<uint8_t>(random >> 24));
        }
        bytes.push_back(static_cast<uint8_t>(state->size() & 0xFF));
        bytes.push_back(static_cast<uint8_t>(state->size() >> 8));
        Write("vst3/program-" + std::to_string(seed++), bytes);
    }
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quelor-fuzz-seeds <corpus dir>\n");
        return 2;
    }
    gRoot = argv[1];
    for (const char* kind : {"chunk", "dispatcher", "fxp", "png", "vst3"})
        std::filesystem::create_directories(gRoot / kind);
    ChunkSeeds();
    FxpSeeds();
    PngSeeds();
    DispatcherSeeds();
    Vst3Seeds();
    return 0;
}
