#include "LV2Bundle.h"

#include "IEffectBase.h"
#include "QuotedText.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {
constexpr const char* kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// The shortest decimal that reads back as v, always with a point so that Turtle
// reads a decimal and not an integer.
std::string Number(double v) {
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), v);
    std::string s(text.data(), result.ptr);
    if (s.find_first_of(".en") == std::string::npos)
        s += ".0";
    return s;
}

std::string Uri(const std::string& uri) {
    return "<" + uri + ">";
}

// The units vocabulary's name for a parameter label, or "" when it has none.
const char* UnitFor(const char* label) {
    static constexpr std::array<std::array<const char*, 2>, 6> kUnits{{{"dB", "units:db"},
                                                                       {"ms", "units:ms"},
                                                                       {"s", "units:s"},
                                                                       {"%", "units:pc"},
                                                                       {"Hz", "units:hz"},
                                                                       {"kHz", "units:khz"}}};
    for (const auto& [text, unit] : kUnits)
        if (std::string(label) == text)
            return unit;
    return "";
}

void Unit(std::ostream& out, const char* label) {
    if (*UnitFor(label))
        out << " ;\n        units:unit " << UnitFor(label);
}

void ParameterPort(std::ostream& out, int index, const IParameter& p) {
    out << "a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " << index
        << " ;\n        lv2:symbol " << QuotedText(LV2Symbol(p.NameForHost()).c_str())
        << " ;\n        lv2:name " << QuotedText(p.NameForHost()) << " ;\n        lv2:default "
        << Number(p.Value()) << " ;\n        lv2:minimum " << Number(p.Minimum())
        << " ;\n        lv2:maximum " << Number(p.Maximum());
    switch (p.Kind()) {
    case kKindToggle:
        out << " ;\n        lv2:portProperty lv2:toggled";
        break;
    case kKindChoice:
    case kKindInteger:
        out << " ;\n        lv2:portProperty lv2:integer";
        if (p.ValueTextCount() > 0)
            out << ", lv2:enumeration";
        break;
    default:
        break;
    }
    for (int i = 0; i < p.ValueTextCount(); ++i)
        out << (i ? " , [\n" : " ;\n        lv2:scalePoint [\n") << "            rdfs:label "
            << QuotedText(p.ValueTextAt(i).text) << " ;\n            rdf:value "
            << Number(p.ValueTextAt(i).value) << "\n        ]";
    Unit(out, p.LabelForHost());
}

std::vector<std::string> PresetUris(const LV2Product& product, IEffectBase& effect) {
    std::vector<std::string> uris;
    std::set<std::string> taken;
    for (int i = 0; i < effect.PresetCount(); ++i) {
        std::string uri = product.uri;
        uri.append("#preset-").append(LV2Symbol(effect.PresetName(i)));
        if (!taken.insert(uri).second)
            uri.append("_").append(std::to_string(i));
        taken.insert(uri);
        uris.push_back(effect.PresetAt(i)->initialized ? uri : "");
    }
    return uris;
}

std::string Manifest(const LV2Product& product, IEffectBase& effect, const LV2BundleFiles& files) {
    std::ostringstream out;
    out << kPrefixes << Uri(product.uri) << "\n    a lv2:Plugin ;\n    lv2:binary <" << files.binary
        << "> ;\n    rdfs:seeAlso <" << files.pluginTtl << "> .\n";
    if (files.uiBinary)
        out << "\n"
            << Uri(product.uiUri) << "\n    a ui:X11UI ;\n    lv2:binary <" << files.uiBinary
            << "> ;\n    rdfs:seeAlso <" << files.pluginTtl << "> .\n";
    for (const std::string& preset : PresetUris(product, effect))
        if (!preset.empty())
            out << "\n"
                << Uri(preset) << "\n    a pset:Preset ;\n    lv2:appliesTo " << Uri(product.uri)
                << " ;\n    rdfs:seeAlso <" << files.presetsTtl << "> .\n";
    return out.str();
}

std::string Plugin(const LV2Product& product, const LV2ReleaseVersion& release, IEffectBase& effect,
                   const LV2BundleFiles& files) {
    const LV2VersionNumbers version = LV2Versions(release);
    std::ostringstream out;
    out << kPrefixes << Uri(product.uri)
        << "\n    a doap:Project, lv2:Plugin, lv2:" << product.pluginClass << " ;\n    doap:name "
        << QuotedText(effect.EffectName()) << " ;\n    doap:license " << Uri(product.license)
        << " ;\n    doap:maintainer [\n        foaf:name " << QuotedText(effect.MakerName())
        << "\n    ] ;\n    lv2:minorVersion " << version.minorVersion << " ;\n    lv2:microVersion "
        << version.microVersion
        << " ;\n    lv2:optionalFeature lv2:hardRTCapable, opts:options, urid:map ;\n"
           "    opts:supportedOption bufsz:maxBlockLength ;\n";
    if (files.uiBinary)
        out << "    ui:ui " << Uri(product.uiUri) << " ;\n";
    std::vector<std::string> ports;
    const int parameters = effect.ParameterCount();
    for (int i = 0; i < parameters; ++i) {
        std::ostringstream port;
        ParameterPort(port, i, *effect.ParameterAt(i));
        ports.push_back(port.str());
    }
    const std::vector<LV2AudioPort> audioPorts = LV2AudioPorts(effect.Buses());
    for (std::size_t i = 0; i < audioPorts.size(); ++i) {
        const LV2AudioPort& audio = audioPorts[i];
        std::ostringstream port;
        port << "a lv2:" << (audio.output ? "OutputPort" : "InputPort")
             << ", lv2:AudioPort ;\n        lv2:index "
             << LV2AudioPortIndex(parameters, static_cast<int>(i))
             << " ;\n        lv2:symbol " << QuotedText(audio.symbol) << " ;\n        lv2:name "
             << QuotedText(audio.name);
        if (audio.sideChain)
            port << " ;\n        lv2:portProperty lv2:isSideChain, lv2:connectionOptional";
        ports.push_back(port.str());
    }
    const MeterList meters = effect.Meters();
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const MeterDescription& meter = meters[i];
        std::ostringstream port;
        port << "a lv2:OutputPort, lv2:ControlPort ;\n        lv2:index "
             << LV2MeterPortIndex(effect.Buses(), parameters, static_cast<int>(i))
             << " ;\n        lv2:symbol " << QuotedText(meter.symbol) << " ;\n        lv2:name "
             << QuotedText(meter.name) << " ;\n        lv2:minimum " << Number(meter.minimum)
             << " ;\n        lv2:maximum " << Number(meter.maximum);
        Unit(port, meter.unit);
        ports.push_back(port.str());
    }
    out << "    lv2:port";
    for (std::size_t i = 0; i < ports.size(); ++i)
        out << (i ? " , [\n        " : " [\n        ") << ports[i] << "\n    ]";
    out << " .\n";
    if (files.uiBinary) {
        out << "\n"
            << Uri(product.uiUri)
            << "\n    a ui:X11UI ;\n    lv2:requiredFeature ui:idleInterface, ui:parent ;\n"
               "    lv2:optionalFeature ui:noUserResize, ui:resize, ui:touch ;\n"
               "    lv2:extensionData ui:idleInterface, ui:resize";
        for (const MeterDescription& meter : meters)
            out << " ;\n    ui:portNotification [\n        ui:plugin " << Uri(product.uri)
                << " ;\n        lv2:symbol " << QuotedText(meter.symbol)
                << " ;\n        ui:protocol ui:floatProtocol\n    ]";
        out << " .\n";
    }
    return out.str();
}

std::string Presets(const LV2Product& product, IEffectBase& effect) {
    std::ostringstream out;
    out << kPrefixes;
    const std::vector<std::string> uris = PresetUris(product, effect);
    for (int i = 0; i < effect.PresetCount(); ++i) {
        const IPreset* preset = effect.PresetAt(i);
        if (uris[static_cast<std::size_t>(i)].empty())
            continue;
        out << Uri(uris[static_cast<std::size_t>(i)]) << "\n    a pset:Preset ;\n    lv2:appliesTo "
            << Uri(product.uri) << " ;\n    rdfs:label " << QuotedText(preset->name)
            << " ;\n    lv2:port [\n";
        int position = 0;
        for (int p = 0; p < effect.ParameterCount(); ++p) {
            double value = 0.0;
            position = preset->values.GetDouble(&value, position);
            if (position < 0)
                break;
            out << (p ? "    ] , [\n" : "") << "        lv2:symbol "
                << QuotedText(LV2Symbol(effect.ParameterAt(p)->NameForHost()).c_str())
                << " ;\n        pset:value " << Number(value) << "\n";
        }
        out << "    ] .\n\n";
    }
    return out.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}
} // namespace

LV2VersionNumbers LV2Versions(const LV2ReleaseVersion& release) {
    return {2 * (100 * release.major + release.minor), 2 * release.patch};
}

std::string LV2Symbol(const char* name) {
    std::string symbol;
    for (; *name; ++name) {
        const auto c = static_cast<unsigned char>(*name);
        if (std::isalnum(c))
            symbol += static_cast<char>(std::tolower(c));
        else if (!symbol.empty() && symbol.back() != '_')
            symbol += '_';
    }
    while (!symbol.empty() && symbol.back() == '_')
        symbol.pop_back();
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])))
        symbol = "p_" + symbol;
    return symbol;
}

bool WriteLV2Bundle(const LV2Product& product, const LV2ReleaseVersion& release,
                    IEffectBase& effect, const LV2BundleFiles& files,
                    const std::string& directory) {
    return WriteFile(directory + "/manifest.ttl", Manifest(product, effect, files)) &&
           WriteFile(directory + "/" + files.pluginTtl, Plugin(product, release, effect, files)) &&
           WriteFile(directory + "/" + files.presetsTtl, Presets(product, effect));
}
