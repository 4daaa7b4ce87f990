#include "DisplayScale.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
constexpr double kBaseDpi = 96.0;

// A positive finite number at the start of text (after blanks), else 0.
double PositiveNumber(const char* text) {
    if (!text)
        return 0.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && std::isfinite(value) && value > 0.0 ? value : 0.0;
}

// The value of the resource name in a resource manager string: lines of "name:\tvalue".
const char* ResourceValue(const char* resources, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* line = resources; line && *line;) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':')
            return line + length + 1;
        line = std::strchr(line, '\n');
        if (line)
            ++line;
    }
    return nullptr;
}
} // namespace

double DesktopScale(const char* xResources, const char* gdkScale, const char* qtScaleFactor) {
    if (const double dpi = PositiveNumber(ResourceValue(xResources, "Xft.dpi")); dpi > 0.0)
        return dpi / kBaseDpi;
    if (const double gdk = PositiveNumber(gdkScale); gdk > 0.0)
        return gdk;
    return PositiveNumber(qtScaleFactor);
}
