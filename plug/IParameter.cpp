#include "IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {
constexpr int kMaxPrecision = 6;
// ln(10) / 20, to the digits the stored presets were made with.
constexpr double kDecibelsToLog = 0.1151292546497;

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

double IParameter::DecibelsToAmplitude() const {
    return std::exp(Value() * kDecibelsToLog);
}
