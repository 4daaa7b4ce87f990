#include "ProductVST3.h"

#include "IEffectBase.h"

#include <cstdio>

std::unique_ptr<IEffectBase> ProductVST3::Create() const {
    return product->create(panel);
}

ClassNamesVST3 ReadClassNames(const ProductVST3& product) {
    ClassNamesVST3 names;
    CopyText(names.name, product.product->name, sizeof names.name);
    CopyText(names.vendor, product.product->maker, sizeof names.vendor);
    return names;
}

// The words are read back from the bytes by the platform's own layout rule, so the text is
// the same on every platform.
std::string ClassIdText(const vst3::Uid& id) {
    const auto byte = [&id](std::size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(id[i]));
    };
    const auto word = [&byte](std::size_t at, std::size_t count, bool littleEndian) {
        uint32_t value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value = value << 8 | byte(at + (littleEndian ? count - 1 - i : i));
        return value;
    };
    const bool head = vst3::platform::kUidHeadLittleEndian;
    const uint32_t words[4] = {word(0, 4, head), word(4, 2, head) << 16 | word(6, 2, head),
                               word(8, 4, false), word(12, 4, false)};
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", words[0], words[1], words[2], words[3]);
    return text;
}
