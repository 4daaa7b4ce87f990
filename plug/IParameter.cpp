#include "IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace {
constexpr int kMaxPrecision = 6;
// ln(10) / 20, to the digits the stored presets were made with.
constexpr double kDecibelsToLog = 0.1151292546497;

// Longer numbers than this are no display text of ours, nor anything a person types.
constexpr std::size_t kLongestNumber = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Up to this many significant digits a decimal is read exactly: they make an integer
// below 2^53, and one multiplication or division by a power of ten that a double holds
// exactly (up to 1e22) rounds correctly.
constexpr int kExactDigits = 15;
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestPower = 22;

// A whole text of an optional sign, digits and at most one decimal point, with at least
// one digit and at most kExactDigits significant ones, read the same in every locale
// (a host may have set one that writes a comma) and rounded correctly.
bool ReadDecimal(std::string_view text, double* out) {
    if (text.size() > kLongestNumber)
        return false;
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    uint64_t digits = 0; // the significant digits read, as an integer
    int count = 0;       // how many there are
    int zeros = 0;       // zeros after the last other digit, not yet in digits
    int exponent = 0;    // the value is digits x 10^(exponent + zeros)
    bool point = false;
    bool any = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        any = true;
        exponent -= point ? 1 : 0;
        if (c == '0') {
            zeros += count > 0 ? 1 : 0;
            continue;
        }
        count += zeros + 1;
        if (count > kExactDigits)
            return false;
        for (; zeros > 0; --zeros)
            digits *= 10;
        digits = digits * 10 + static_cast<uint64_t>(c - '0');
    }
    exponent += zeros;
    if (!any || exponent < -kLargestPower || exponent > kLargestPower)
        return false;
    const auto whole = static_cast<double>(digits);
    const double magnitude =
        exponent < 0 ? whole / kPowersOfTen[-exponent] : whole * kPowersOfTen[exponent];
    *out = negative ? -magnitude : magnitude;
    return true;
}

// A number, then nothing or the unit label.
bool ReadNumberWithLabel(std::string_view text, std::string_view label, double* out) {
    const std::size_t end = text.find_first_not_of("+-.0123456789");
    const std::string_view unit = Trimmed(text.substr(std::min(end, text.size())));
    if (!unit.empty() && (label.empty() || !SameIgnoringCase(unit, label)))
        return false;
    return ReadDecimal(text.substr(0, end), out);
}

int PrecisionForStep(double step) {
    int p = 0;
    double s = step;
    while (s != std::floor(s) && p < kMaxPrecision) {
        ++p;
        s *= 10.0;
    }
    return p;
}
} // namespace

int32_t TruncateToInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

void CopyText(char* dst, const char* src, std::size_t size) {
    if (size == 0)
        return;
    std::size_t n = 0;
    if (src)
        while (n + 1 < size && src[n])
            ++n;
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = '\0';
}

IParameter::IParameter() = default;

IParameter::IParameter(const IParameter& other) {
    *this = other;
}

IParameter& IParameter::operator=(const IParameter& other) {
    if (this == &other)
        return *this;
    kind = other.kind;
    value.store(other.Value(), std::memory_order_relaxed);
    initial = other.initial;
    minimum = other.minimum;
    maximum = other.maximum;
    step = other.step;
    shape = other.shape;
    precision = other.precision;
    std::memcpy(name, other.name, sizeof name);
    std::memcpy(label, other.label, sizeof label);
    valueTexts = other.valueTexts;
    return *this;
}

void IParameter::SetupContinuous(const char* newName, double defaultValue, double newMinimum,
                                 double newMaximum, double newStep, const char* newLabel) {
    if (kind == kKindNone)
        kind = kKindContinuous;
    CopyText(name, newName, sizeof name);
    CopyText(label, newLabel, sizeof label);
    value.store(defaultValue, std::memory_order_relaxed);
    initial = defaultValue;
    minimum = newMinimum;
    maximum = std::max(newMaximum, newMinimum + newStep);
    step = newStep;
    precision = PrecisionForStep(newStep);
}

void IParameter::SetupChoice(const char* newName, int32_t defaultIndex, int32_t count) {
    if (kind == kKindNone)
        kind = kKindChoice;
    SetupContinuous(newName, defaultIndex, 0.0, count - 1, 1.0, "");
}

void IParameter::SetResponseShape(double newShape) {
    if (newShape != 0.0)
        shape = newShape;
}

void IParameter::AddValueText(int32_t v, const char* text) {
    ValueText entry{v, {}};
    CopyText(entry.text, text, sizeof entry.text);
    valueTexts.push_back(entry);
}

const char* IParameter::ValueTextFor(int32_t v) const {
    for (const ValueText& entry : valueTexts)
        if (entry.value == v)
            return entry.text;
    return "";
}

bool IParameter::FindValueText(const char* text, int32_t* valueOut) const {
    for (const ValueText& entry : valueTexts) {
        if (std::strcmp(entry.text, text) == 0) {
            *valueOut = entry.value;
            return true;
        }
    }
    return false;
}

double IParameter::FromNormalized(double normalized) const {
    return minimum + std::pow(normalized, shape) * (maximum - minimum);
}

void IParameter::SetFromNormalized(double normalized) {
    value.store(ValueFromNormalized(normalized), std::memory_order_relaxed);
}

double IParameter::ValueFromNormalized(double normalized) const {
    double real = FromNormalized(normalized);
    if (kind != kKindContinuous)
        real = std::floor(real / step + 0.5) * step;
    // A host may send anything: NaN and values past either end land on the range.
    if (!(real < maximum))
        return maximum;
    return real < minimum ? minimum : real;
}

void IParameter::SetFromReal(double realValue) {
    value.store(ValueFromReal(realValue), std::memory_order_relaxed);
}

double IParameter::ValueFromReal(double realValue) const {
    if (IsIntegerValued())
        realValue = std::floor(realValue / step + 0.5) * step;
    if (std::isnan(realValue))
        return minimum;
    return std::clamp(realValue, minimum, maximum);
}

void IParameter::SetLimited(double realValue) {
    if (std::isnan(realValue))
        realValue = minimum;
    value.store(std::clamp(realValue, minimum, maximum), std::memory_order_relaxed);
}

double IParameter::Normalize(double x) const {
    if (std::isnan(x))
        x = minimum;
    x = std::clamp(x, minimum, maximum);
    return std::pow((x - minimum) / (maximum - minimum), 1.0 / shape);
}

void IParameter::FormatForHost(double v, bool isNormalized, char* out) const {
    if (isNormalized)
        v = FromNormalized(v);
    const char* text = ValueTextFor(TruncateToInt32(v));
    if (*text) {
        CopyText(out, text, kParameterTextSize);
        return;
    }
    if (v == 0.0) {
        CopyText(out, "0", kParameterTextSize);
        return;
    }
    if (precision == 0) {
        std::snprintf(out, kParameterTextSize, "%d", TruncateToInt32(v));
        return;
    }
    std::snprintf(out, kParameterTextSize, "%.*f", precision, v);
}

bool IParameter::ParseFromHost(const char* text, double* realValue) const {
    if (!text)
        return false;
    const std::string_view request = Trimmed(text);
    for (const bool exact : {true, false})
        for (const ValueText& entry : valueTexts) {
            const std::string_view shown = Trimmed(entry.text);
            if (exact ? request == shown : SameIgnoringCase(request, shown)) {
                *realValue = entry.value;
                return true;
            }
        }
    double number = 0.0;
    if (!ReadNumberWithLabel(request, label, &number))
        return false;
    if (kind != kKindContinuous)
        number = std::floor(number / step + 0.5) * step;
    if (number < minimum || number > maximum) {
        const double end = number < minimum ? minimum : maximum;
        char numberText[kParameterTextSize];
        char endText[kParameterTextSize];
        FormatForHost(number, false, numberText);
        FormatForHost(end, false, endText);
        if (std::strcmp(numberText, endText) != 0)
            return false;
        number = end;
    }
    if (*ValueTextFor(TruncateToInt32(number)))
        return false;
    *realValue = number;
    return true;
}

double IParameter::DecibelsToAmplitude() const {
    return std::exp(Value() * kDecibelsToLog);
}
