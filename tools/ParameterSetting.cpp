#include "ParameterSetting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr int kBisectionSteps = 40;
constexpr int kChoiceScanSteps = 1000;

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

ParameterChoice Continuous(const PluginHost& host, int index, const std::string& request) {
    const Prober probe(host, index);
    const std::string name = host.ParameterName(index);
    const std::string label = host.ParameterLabel(index);
    const std::string lowText = probe.TextAt(0.0);
    const std::string highText = probe.TextAt(1.0);
    const double low = LeadingNumber(lowText);
    const double high = LeadingNumber(highText);
    const bool rising = high >= low;
    const std::string range = (rising ? lowText : highText) + " to " +
                              (rising ? highText : lowText) + (label.empty() ? "" : " " + label);
    double target = 0.0;
    ParameterChoice choice;
    choice.index = index;
    if (!ParseRequest(request, label, &target)) {
        choice.error = "\"" + request + "\" is not a number; " + name + " takes " + range;
        return choice;
    }
    if (target < std::min(low, high) || target > std::max(low, high)) {
        choice.error = name + " = " + request + " is out of range; " + name + " takes " + range;
        return choice;
    }
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
    // The middle of the run of values that all show this text.
    double left = 0.0;
    if (probe.TextAt(at(0.0)) != text) {
        double outside = 0.0;
        double inside = t;
        for (int step = 0; step < kBisectionSteps; ++step) {
            const double m = 0.5 * (outside + inside);
            (probe.TextAt(at(m)) == text ? inside : outside) = m;
        }
        left = inside;
    }
    double right = 1.0;
    if (probe.TextAt(at(1.0)) != text) {
        double inside = t;
        double outside = 1.0;
        for (int step = 0; step < kBisectionSteps; ++step) {
            const double m = 0.5 * (outside + inside);
            (probe.TextAt(at(m)) == text ? inside : outside) = m;
        }
        right = inside;
    }
    choice.normalized = static_cast<float>(at(0.5 * (left + right)));
    host.SetParameter(index, choice.normalized);
    return choice;
}

ParameterChoice Choice(const PluginHost& host, int index, const std::string& request) {
    struct Run {
        std::string text;
        double first;
        double last;
    };
    const Prober probe(host, index);
    std::vector<Run> runs;
    for (int step = 0; step <= kChoiceScanSteps; ++step) {
        const double x = static_cast<double>(step) / kChoiceScanSteps;
        const std::string text = probe.TextAt(x);
        if (!runs.empty() && runs.back().text == text)
            runs.back().last = x;
        else
            runs.push_back({text, x, x});
    }
    ParameterChoice choice;
    choice.index = index;
    auto found =
        std::find_if(runs.begin(), runs.end(), [&](const Run& run) { return run.text == request; });
    if (found == runs.end())
        found = std::find_if(runs.begin(), runs.end(),
                             [&](const Run& run) { return SameIgnoringCase(run.text, request); });
    if (found == runs.end()) {
        std::vector<std::string> texts;
        for (const Run& run : runs)
            if (std::find(texts.begin(), texts.end(), run.text) == texts.end())
                texts.push_back(run.text);
        std::string list;
        for (const std::string& text : texts)
            list += (list.empty() ? "" : ", ") + ("\"" + text + "\"");
        choice.error = "\"" + request + "\" is not a value of " + host.ParameterName(index) +
                       "; it takes " + list;
        return choice;
    }
    choice.normalized = static_cast<float>(0.5 * (found->first + found->last));
    host.SetParameter(index, choice.normalized);
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
    // A parameter whose two ends both read as numbers is continuous.
    const Prober probe(host, index);
    const float before = host.GetParameter(index);
    const bool numeric = !std::isnan(probe.ValueAt(0.0)) && !std::isnan(probe.ValueAt(1.0));
    host.SetParameter(index, before);
    choice = numeric ? Continuous(host, index, value) : Choice(host, index, value);
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
    return choice;
}
