#include "ModuleInfoVST3.h"

#include <cstdio>
#include <sstream>

namespace {

// Our texts are plain ASCII; quotes and backslashes are escaped all the same.
std::string Quoted(const char* text) {
    std::string out = "\"";
    for (; *text; ++text) {
        if (*text == '"' || *text == '\\')
            out += '\\';
        out += *text;
    }
    return out + "\"";
}

std::string SubCategoryList(const char* tags) {
    std::string out = "[";
    std::string tag;
    const auto flush = [&] {
        if (out.size() > 1)
            out += ", ";
        out += Quoted(tag.c_str());
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
         << "  \"Name\": " << Quoted(names.name) << ",\n"
         << "  \"Version\": " << Quoted(product.product->versionText) << ",\n"
         << "  \"Factory Info\": {\n"
         << "    \"Vendor\": " << Quoted(names.vendor) << ",\n"
         << "    \"URL\": " << Quoted(product.product->url) << ",\n"
         << "    \"E-Mail\": " << Quoted(product.product->email) << ",\n"
         << "    \"Flags\": {\n"
         << "      \"Unicode\": true,\n"
         << "      \"Classes Discardable\": false,\n"
         << "      \"Component Non Discardable\": false\n"
         << "    }\n"
         << "  },\n"
         << "  \"Classes\": [\n"
         << "    {\n"
         << "      \"CID\": " << Quoted(ClassIdText(product.ClassId()).c_str()) << ",\n"
         << "      \"Category\": " << Quoted(kAudioModuleClass) << ",\n"
         << "      \"Name\": " << Quoted(names.name) << ",\n"
         << "      \"Vendor\": " << Quoted(names.vendor) << ",\n"
         << "      \"Version\": " << Quoted(product.product->versionText) << ",\n"
         << "      \"SDKVersion\": " << Quoted(kSdkVersionText) << ",\n"
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
