#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

enum ParameterKind : int32_t {
    kKindNone = 0,
    kKindToggle = 1,
    kKindInteger = 2,
    kKindChoice = 3,
    kKindContinuous = 4,
};

// Size of every parameter name, label and value text, terminator included.
constexpr int kParameterTextSize = 32;

struct ValueText {
    int32_t value;
    char text[kParameterTextSize];
};

// One automatable parameter, seen in real units by the processing, normalized
// (0..1) by the host and the editor, and as text by both. It has no lock: the
// plug-in lock guards every change and every read during processing. The value
// is one atomic word, so an editor may read it without the lock; everything
// else is set up once, in the effect's constructor.
class IParameter {
public:
    IParameter();
    // A copy takes the value as it reads at that moment.
    IParameter(const IParameter& other);
    IParameter& operator=(const IParameter& other);

    // Set-up, from the effect's constructor only. Texts longer than 31
    // characters are cut.
    void SetupContinuous(const char* name, double defaultValue, double minimum, double maximum,
                         double step, const char* label);
    void SetupChoice(const char* name, int32_t defaultIndex, int32_t count);
    void SetResponseShape(double shape);
    void AddValueText(int32_t value, const char* text);

    ParameterKind Kind() const { return kind; }
    bool IsIntegerValued() const { return kind != kKindContinuous; }
    double Value() const { return value.load(std::memory_order_relaxed); }
    // The value set up, which a double-click on a control goes back to.
    double Default() const { return initial; }
    double DefaultNormalized() const { return Normalize(initial); }
    double Minimum() const { return minimum; }
    double Maximum() const { return maximum; }
    double Step() const { return step; }
    double Shape() const { return shape; }
    int Precision() const { return precision; }
    const char* NameForHost() const { return name; }
    const char* LabelForHost() const { return label; }
    int ValueTextCount() const { return static_cast<int>(valueTexts.size()); }
    const ValueText& ValueTextAt(int i) const { return valueTexts[static_cast<std::size_t>(i)]; }

    // The text of the first entry for value, or "" when there is none.
    const char* ValueTextFor(int32_t value) const;
    // Exact, case-sensitive lookup; writes the value only on a match.
    bool FindValueText(const char* text, int32_t* valueOut) const;

    // From the host or the editor: snapped for integer-valued kinds, limited to the range.
    void SetFromNormalized(double normalized);
    // From a host in real units (an LV2 port, a CLAP value): whole steps for
    // integer-valued kinds, then limited to the range; NaN gives the minimum.
    void SetFromReal(double realValue);
    // The values the two above would set, without setting them.
    double ValueFromNormalized(double normalized) const;
    double ValueFromReal(double realValue) const;
    // From a stored state: limited to the range, neither snapped nor shaped.
    void SetLimited(double realValue);
    double Normalized() const { return Normalize(Value()); }
    double Normalize(double realValue) const;
    double FromNormalized(double normalized) const;

    // Writes the display text (at most 31 characters) into out[kParameterTextSize].
    void FormatForHost(double v, bool isNormalized, char* out) const;
    void FormatCurrentForHost(char* out) const { FormatForHost(Value(), false, out); }
    // The inverse of FormatForHost, for every format's text entry: the value that a display
    // text names, written to realValue; false, with realValue untouched, when text names
    // none. Spaces and tabs around the text are ignored. Taken are a value text (exact,
    // else ignoring ASCII case) and a decimal number as the display writes it (a sign,
    // digits, a decimal point; no exponent, no thousands separator), optionally followed
    // by the unit label (ignoring case). Integer-valued kinds snap a number as
    // SetFromNormalized does. A number past an end is taken, as that end, only where the
    // display shows it as it shows the end (the display rounds); a number whose display
    // would be a value text is refused. Any thread: it reads set-up fields only.
    bool ParseFromHost(const char* text, double* realValue) const;

    // The value read as decibels, as an amplitude factor.
    double DecibelsToAmplitude() const;

private:
    ParameterKind kind = kKindNone;
    std::atomic<double> value{0.0};
    double initial = 0.0;
    double minimum = 0.0;
    double maximum = 1.0;
    double step = 1.0;
    double shape = 1.0;
    int32_t precision = 0;
    char name[kParameterTextSize] = {};
    char label[kParameterTextSize] = {};
    std::vector<ValueText> valueTexts;
};

// Saturating truncation toward zero; NaN gives 0. Hosts can hand us any double.
int32_t TruncateToInt32(double v);

// Copies at most size - 1 bytes of src and terminates; a null src gives "".
void CopyText(char* dst, const char* src, std::size_t size);
