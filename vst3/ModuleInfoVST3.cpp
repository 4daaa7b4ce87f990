#include "ModuleInfoVST3.h"

#include "QuotedText.h"

#include <cstdio>
#include <sstream>

namespace {

std::string SubCategoryList(const char* tags) {
    std::string out = "[";
    std::string tag;
    const auto flush = [&] {
        if (out.size() > 1)
            out += ", ";
        out += QuotedText(tag.c_str());
        tag.clear();
    };
    for (; *tags; ++tags) {
        if (*tags == '|')
            flush();
        else
            tag += *tags;
    }
    flush();
    return out + "]";
}

} // namespace

std::string ModuleInfoJson(const ProductVST3& product) {
    const ClassNamesVST3 names = ReadClassNames(product);
    std::ostringstream json;
    json << "{\n"
         << "  \"Name\": " << QuotedText(names.name) << ",\n"
         << "  \"Version\": " << QuotedText(product.product->versionText) << ",\n"
         << "  \"Factory Info\": {\n"
         << "    \"Vendor\": " << QuotedText(names.vendor) << ",\n"
         << "    \"URL\": " << QuotedText(product.product->url) << ",\n"
         << "    \"E-Mail\": " << QuotedText(product.product->email) << ",\n"
         << "    \"Flags\": {\n"
         << "      \"Unicode\": true,\n"
         << "      \"Classes Discardable\": false,\n"
         << "      \"Component Non Discardable\": false\n"
         << "    }\n"
         << "  },\n"
         << "  \"Classes\": [\n"
         << "    {\n"
         << "      \"CID\": " << QuotedText(ClassIdText(product.ClassId()).c_str()) << ",\n"
         << "      \"Category\": " << QuotedText(kAudioModuleClass) << ",\n"
         << "      \"Name\": " << QuotedText(names.name) << ",\n"
         << "      \"Vendor\": " << QuotedText(names.vendor) << ",\n"
         << "      \"Version\": " << QuotedText(product.product->versionText) << ",\n"
         << "      \"SDKVersion\": " << QuotedText(kSdkVersionText) << ",\n"
         << "      \"Sub Categories\": " << SubCategoryList(product.product->vst3Categories) << ",\n"
         << "      \"Class Flags\": 0,\n"
         << "      \"Cardinality\": 2147483647,\n"
         << "      \"Snapshots\": []\n"
         << "    }\n"
         << "  ]\n"
         << "}\n";
    return json.str();
}

bool WriteModuleInfo(const ProductVST3& product, const char* path) {
    const std::string json = ModuleInfoJson(product);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    const bool written = std::fwrite(json.data(), 1, json.size(), file) == json.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    return true;
}
