#include "ParameterSetting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr int kBisectionSteps = 40;
constexpr int kChoiceScanSteps = 1000;
constexpr int kFloatSteps = 64;

std::string Trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A number at the start of a display text ("-20.0", "150 ms"), or NaN.
double LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    return end == begin ? std::nan("") : v;
}

// A number that is the whole of a request, optionally followed by the label.
bool ParseRequest(const std::string& text, const std::string& label, double* out) {
    const std::string trimmed = Trim(text);
    const char* begin = trimmed.c_str();
    char* end = nullptr;
    *out = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(*out))
        return false;
    const std::string rest = Trim(end);
    return rest.empty() || (!label.empty() && SameIgnoringCase(rest, label));
}

bool SplitAssignment(const std::string& assignment, std::string* name, std::string* value) {
    const auto at = assignment.find('=');
    if (at == std::string::npos)
        return false;
    *name = Trim(assignment.substr(0, at));
    *value = Trim(assignment.substr(at + 1));
    return !name->empty();
}

std::string ParameterList(const PluginHost& host) {
    std::string list;
    for (int i = 0; i < host.ParameterCount(); ++i)
        list += (i ? ", " : "") + host.ParameterName(i);
    return list;
}

class Prober {
public:
    Prober(const PluginHost& h, int i) : host(h), index(i) {}
    std::string TextAt(double x) const {
        host.SetParameter(index, static_cast<float>(x));
        return host.ParameterDisplay(index);
    }
    double ValueAt(double x) const { return LeadingNumber(TextAt(x)); }

private:
    const PluginHost& host;
    int index;
};

// The last t from inside (showing text) towards end (0 or 1) that still shows text;
// beyond, when given, receives the first t past it, or end.
template <class At>
double RunEdge(const Prober& probe, At at, double inside, double end, const std::string& text,
               double* beyond = nullptr) {
    double outside = end;
    if (probe.TextAt(at(end)) == text)
        inside = end;
    else
        for (int step = 0; step < kBisectionSteps; ++step) {
            const double m = 0.5 * (outside + inside);
            (probe.TextAt(at(m)) == text ? inside : outside) = m;
        }
    if (beyond)
        *beyond = outside;
    return inside;
}

// The float at x's edge of its run towards outward that still shows text: the
// plug-in sees floats, and a double on the edge may round to either side of it.
float EdgeFloat(const Prober& probe, double x, float outward, const std::string& text) {
    auto f = static_cast<float>(x);
    for (int i = 0; i < kFloatSteps && probe.TextAt(f) != text; ++i)
        f = std::nextafter(f, -outward);
    for (int i = 0; i < kFloatSteps; ++i) {
        const float next = std::nextafter(f, outward);
        if (next < 0.0f || next > 1.0f || probe.TextAt(next) != text)
            break;
        f = next;
    }
    return f;
}

// Where the exact value of a text lies in the run of values that show it, as a
// fraction of the run: 0 for a display that truncates downwards (0 shows 0 to
// 0.99), 0.5 for one that rounds, 1 for one that truncates upwards. Only the
// lowest value is known exactly (t = 0); the first three text changes above it,
// extrapolated back to t = 0 as though each sat on its text's own value, land
// that fraction of a step above it. 0.5 when the display will not say.
template <class At> double ExactValueOffset(const Prober& probe, At at) {
    double edge[4] = {0.0, 0.0, 0.0, 0.0};
    double value[4] = {probe.ValueAt(at(0.0)), 0.0, 0.0, 0.0};
    for (int k = 1; k < 4; ++k) {
        if (RunEdge(probe, at, edge[k - 1], 1.0, probe.TextAt(at(edge[k - 1])), &edge[k]) >= 1.0)
            return 0.5;
        value[k] = probe.ValueAt(at(edge[k]));
    }
    const double step = value[1] - value[0];
    const double p1 = edge[1], p2 = edge[2], p3 = edge[3];
    const double atZero = value[1] * p2 * p3 / ((p1 - p2) * (p1 - p3)) +
                          value[2] * p1 * p3 / ((p2 - p1) * (p2 - p3)) +
                          value[3] * p1 * p2 / ((p3 - p1) * (p3 - p2));
    const double offset = (atZero - value[0]) / step;
    if (!std::isfinite(offset) || step <= 0.0)
        return 0.5;
    return std::clamp(std::round(offset * 2.0) / 2.0, 0.0, 1.0);
}

// A continuous parameter's ends as its display shows them, and the request as a number
// within them; error says why not. Leaves the parameter at its high end.
struct Request {
    double low = 0.0;  // at normalized 0
    double high = 0.0; // at normalized 1
    double target = 0.0;
    std::string error;
};

Request ReadRequest(const Prober& probe, const PluginHost& host, int index,
                    const std::string& request) {
    Request r;
    const std::string name = host.ParameterName(index);
    const std::string label = host.ParameterLabel(index);
    const std::string lowText = probe.TextAt(0.0);
    const std::string highText = probe.TextAt(1.0);
    r.low = LeadingNumber(lowText);
    r.high = LeadingNumber(highText);
    const bool rising = r.high >= r.low;
    const std::string range = (rising ? lowText : highText) + " to " +
                              (rising ? highText : lowText) + (label.empty() ? "" : " " + label);
    if (!ParseRequest(request, label, &r.target))
        r.error = "\"" + request + "\" is not a number; " + name + " takes " + range;
    else if (r.target < std::min(r.low, r.high) || r.target > std::max(r.low, r.high))
        r.error = name + " = " + request + " is out of range; " + name + " takes " + range;
    return r;
}

ParameterChoice Continuous(const PluginHost& host, int index, const std::string& request) {
    const Prober probe(host, index);
    const Request r = ReadRequest(probe, host, index, request);
    ParameterChoice choice;
    choice.index = index;
    choice.error = r.error;
    if (!choice.error.empty())
        return choice;
    const double target = r.target;
    // An end's own number is that end, not the middle of the values that show it.
    if (target == r.low || target == r.high) {
        choice.normalized = target == r.low ? 0.0f : 1.0f;
        choice.text = probe.TextAt(choice.normalized);
        return choice;
    }
    const bool rising = r.high >= r.low;
    // t runs the way the displayed value rises.
    auto at = [&](double t) { return rising ? t : 1.0 - t; };
    double a = 0.0;
    double b = 1.0;
    if (probe.ValueAt(at(0.0)) < target) {
        for (int step = 0; step < kBisectionSteps; ++step) {
            const double m = 0.5 * (a + b);
            (probe.ValueAt(at(m)) >= target ? b : a) = m;
        }
    } else {
        b = 0.0;
    }
    // The nearest displayed value is on one side of the crossing or the other.
    double t = b;
    if (a < b &&
        std::fabs(probe.ValueAt(at(a)) - target) < std::fabs(probe.ValueAt(at(b)) - target))
        t = a;
    const std::string text = probe.TextAt(at(t));
    const double left = RunEdge(probe, at, t, 0.0, text);
    const double right = RunEdge(probe, at, t, 1.0, text);
    // The requested number itself: where in its run the display puts it.
    const double offset = ExactValueOffset(probe, at);
    if (offset == 0.0)
        choice.normalized = EdgeFloat(probe, at(left), rising ? -1.0f : 1.0f, text);
    else if (offset == 1.0)
        choice.normalized = EdgeFloat(probe, at(right), rising ? 1.0f : -1.0f, text);
    else
        choice.normalized = static_cast<float>(at(0.5 * (left + right)));
    choice.text = text;
    host.SetParameter(index, choice.normalized);
    return choice;
}

// The texts of a choice in order, each with the span of normalized values that show it.
struct Run {
    std::string text;
    double first;
    double last;
};

std::vector<Run> ChoiceRuns(const Prober& probe) {
    std::vector<Run> runs;
    for (int step = 0; step <= kChoiceScanSteps; ++step) {
        const double x = static_cast<double>(step) / kChoiceScanSteps;
        const std::string text = probe.TextAt(x);
        if (!runs.empty() && runs.back().text == text)
            runs.back().last = x;
        else
            runs.push_back({text, x, x});
    }
    return runs;
}

std::string NotAValue(const PluginHost& host, int index, const std::string& request,
                      const std::vector<Run>& runs) {
    std::vector<std::string> texts;
    for (const Run& run : runs)
        if (std::find(texts.begin(), texts.end(), run.text) == texts.end())
            texts.push_back(run.text);
    std::string list;
    for (const std::string& text : texts)
        list += (list.empty() ? "" : ", ") + ("\"" + text + "\"");
    return "\"" + request + "\" is not a value of " + host.ParameterName(index) + "; it takes " +
           list;
}

ParameterChoice Choice(const PluginHost& host, int index, const std::string& request) {
    const Prober probe(host, index);
    const std::vector<Run> runs = ChoiceRuns(probe);
    ParameterChoice choice;
    choice.index = index;
    auto found =
        std::find_if(runs.begin(), runs.end(), [&](const Run& run) { return run.text == request; });
    if (found == runs.end())
        found = std::find_if(runs.begin(), runs.end(),
                             [&](const Run& run) { return SameIgnoringCase(run.text, request); });
    if (found == runs.end()) {
        choice.error = NotAValue(host, index, request, runs);
        return choice;
    }
    choice.normalized = static_cast<float>(0.5 * (found->first + found->last));
    choice.text = found->text;
    host.SetParameter(index, choice.normalized);
    return choice;
}

// The plug-in reads the text itself. Its refusal is final; the reason is found as the
// search would find it, and the parameter is left at before.
ParameterChoice ByPluginText(const PluginHost& host, int index, const std::string& request,
                             float before) {
    ParameterChoice choice;
    choice.index = index;
    // A number just outside the range would be clamped by the plug-in without a word: it is
    // refused here as one further out is.
    const Prober probe(host, index);
    if (!std::isnan(probe.ValueAt(0.0)) && !std::isnan(probe.ValueAt(1.0))) {
        double number = 0.0;
        const Request r = ReadRequest(probe, host, index, request);
        host.SetParameter(index, before);
        if (ParseRequest(request, host.ParameterLabel(index), &number) && !r.error.empty()) {
            choice.error = r.error;
            return choice;
        }
    }
    if (host.SetParameterText(index, request)) {
        choice.normalized = host.GetParameter(index);
        choice.text = host.ParameterDisplay(index);
        choice.taken = request;
        return choice;
    }
    if (std::isnan(probe.ValueAt(0.0)) || std::isnan(probe.ValueAt(1.0))) {
        choice.error = NotAValue(host, index, request, ChoiceRuns(probe));
    } else {
        choice.error = ReadRequest(probe, host, index, request).error;
        if (choice.error.empty())
            choice.error = host.ParameterName(index) + " does not take \"" + request + "\"";
    }
    host.SetParameter(index, before);
    return choice;
}
} // namespace

int FindParameter(const PluginHost& host, const std::string& name) {
    for (int i = 0; i < host.ParameterCount(); ++i)
        if (host.ParameterName(i) == name)
            return i;
    for (int i = 0; i < host.ParameterCount(); ++i)
        if (SameIgnoringCase(host.ParameterName(i), name))
            return i;
    return -1;
}

ParameterChoice SetParameterByText(const PluginHost& host, const std::string& assignment) {
    std::string name;
    std::string value;
    ParameterChoice choice;
    if (!SplitAssignment(assignment, &name, &value)) {
        choice.error = "--param takes NAME=VALUE, not \"" + assignment + "\"";
        return choice;
    }
    const int index = FindParameter(host, name);
    if (index < 0) {
        choice.error =
            "no parameter called \"" + name + "\"; the parameters are " + ParameterList(host);
        return choice;
    }
    const float before = host.GetParameter(index);
    if (host.TakesParameterText(index))
        return ByPluginText(host, index, value, before);
    // A parameter whose two ends both read as numbers is continuous.
    const Prober probe(host, index);
    const bool numeric = !std::isnan(probe.ValueAt(0.0)) && !std::isnan(probe.ValueAt(1.0));
    host.SetParameter(index, before);
    choice = numeric ? Continuous(host, index, value) : Choice(host, index, value);
    // What the plug-in kept, read back: it may quantize what it was given.
    if (choice.error.empty()) {
        const std::string shown = host.ParameterDisplay(index);
        if (shown != choice.text)
            choice.error = host.ParameterName(index) + " shows \"" + shown +
                           "\" after being set to \"" + choice.text + "\"";
    }
    if (!choice.error.empty())
        host.SetParameter(index, before);
    return choice;
}

ParameterChoice SetParameterNormalized(const PluginHost& host, const std::string& assignment) {
    std::string name;
    std::string value;
    ParameterChoice choice;
    if (!SplitAssignment(assignment, &name, &value)) {
        choice.error = "--param-normalized takes INDEX=X, not \"" + assignment + "\"";
        return choice;
    }
    char* end = nullptr;
    const long index = std::strtol(name.c_str(), &end, 10);
    if (*end || index < 0 || index >= host.ParameterCount()) {
        choice.error = "parameter index \"" + name + "\" is not between 0 and " +
                       std::to_string(host.ParameterCount() - 1);
        return choice;
    }
    const double x = std::strtod(value.c_str(), &end);
    if (value.empty() || *end || !(x >= 0.0 && x <= 1.0)) {
        choice.error = "normalized value \"" + value + "\" is not between 0 and 1";
        return choice;
    }
    choice.index = static_cast<int>(index);
    choice.normalized = static_cast<float>(x);
    host.SetParameter(choice.index, choice.normalized);
    choice.text = host.ParameterDisplay(choice.index);
    return choice;
}
