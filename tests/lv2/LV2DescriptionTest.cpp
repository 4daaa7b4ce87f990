// What the bundle's descriptions tell a host, read through lilv: every port's range,
// default, unit and properties held against the effect's parameter table and the
// product's audio and meter ports, and the plug-in's and the panel's features against what
// each needs.
#include "LV2Bundle.h"
#include "LV2TestHost.h"
#include "QuelorLV2.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {
using namespace lv2test;
using Texts = std::set<std::string>;

constexpr const char* kIsSideChain = "http://lv2plug.in/ns/lv2core#isSideChain";
constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr const char* kDoapLicense = "http://usefulinc.com/ns/doap#license";

// The units vocabulary's term for each label the tables use. A label missing here fails
// the test until someone says which unit it means.
const std::map<std::string, Texts> kUnits{
    {"", {}}, {"dB", {LV2_UNITS__db}}, {"ms", {LV2_UNITS__ms}}, {"%", {LV2_UNITS__pc}}};

class Description : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(world.plugin, nullptr) << "the bundle has no " << kUri;
        lilv_world_load_resource(world.world, lilv_plugin_get_uri(world.plugin));
    }
    void TearDown() override {
        for (LilvNode* node : nodes)
            lilv_node_free(node);
    }

    const LilvNode* Node(const std::string& uri) {
        nodes.push_back(lilv_new_uri(world.world, uri.c_str()));
        return nodes.back();
    }

    static Texts TextsOf(const LilvNodes* found) {
        Texts texts;
        LILV_FOREACH(nodes, i, found) {
            texts.insert(lilv_node_as_string(lilv_nodes_get(found, i)));
        }
        return texts;
    }
    static Texts AsTexts(LilvNodes* found) {
        Texts texts = TextsOf(found);
        lilv_nodes_free(found);
        return texts;
    }

    // Every object of the subject and predicate.
    Texts Objects(const LilvNode* subject, const std::string& predicate) {
        return AsTexts(lilv_world_find_nodes(world.world, subject, Node(predicate), nullptr));
    }
    Texts PortObjects(const LilvPort* port, const std::string& predicate) {
        return AsTexts(lilv_port_get_value(world.plugin, port, Node(predicate)));
    }
    std::string Name(const LilvPort* port) {
        LilvNode* name = lilv_port_get_name(world.plugin, port);
        const std::string text = lilv_node_as_string(name);
        lilv_node_free(name);
        return text;
    }

    // Range and default as exact reals; NaN where the port declares none.
    struct Range {
        double defaultValue, minimum, maximum;
    };
    Range RangeOf(const LilvPort* port) {
        LilvNode* values[3] = {};
        lilv_port_get_range(world.plugin, port, &values[0], &values[1], &values[2]);
        double reals[3];
        for (int i = 0; i < 3; ++i) {
            reals[i] = values[i] ? std::stod(lilv_node_as_string(values[i])) : std::nan("");
            lilv_node_free(values[i]);
        }
        return {reals[0], reals[1], reals[2]};
    }

    World world;
    std::vector<LilvNode*> nodes;
};

TEST(LV2Versions, ReleasesGetEvenNumbersThatGrowWithEveryRelease) {
    for (const auto& [release, minor, micro] : {std::tuple{LV2ReleaseVersion{1, 0, 0}, 200, 0},
                                                {LV2ReleaseVersion{1, 0, 3}, 200, 6},
                                                {LV2ReleaseVersion{1, 2, 0}, 204, 0},
                                                {LV2ReleaseVersion{2, 99, 1}, 598, 2}}) {
        const LV2VersionNumbers numbers = LV2Versions(release);
        EXPECT_EQ(numbers.minorVersion, minor) << release.major << "." << release.minor;
        EXPECT_EQ(numbers.microVersion, micro) << release.patch;
    }
}

TEST_F(Description, EveryPortSaysWhatTheTablesSay) {
    const Quelor effect;
    const int parameters = effect.ParameterCount();
    const MeterList meters = effect.Meters();
    ASSERT_EQ(lilv_plugin_get_num_ports(world.plugin),
              static_cast<uint32_t>(
                  LV2MeterPortIndex(effect.Buses(), parameters, static_cast<int>(meters.size()))));
    const auto port = [&](int index) {
        return lilv_plugin_get_port_by_index(world.plugin, static_cast<uint32_t>(index));
    };
    const auto classes = [&](const LilvPort* p) {
        return TextsOf(lilv_port_get_classes(world.plugin, p));
    };
    // Every port's symbol, in order, is what hosts store in their sessions.
    std::string symbols;
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(world.plugin); ++i)
        symbols +=
            lilv_node_as_string(lilv_port_get_symbol(world.plugin, port(static_cast<int>(i)))) +
            std::string(" ");
    EXPECT_EQ(symbols, "attack release hold ratio stereo_mode sidechain_input threshold gain mix "
                       "release_2 attenuation brickwall in_l in_r sidechain_l sidechain_r out_l "
                       "out_r input_level gain_reduction output_level brickwall_activity ");

    for (int i = 0; i < parameters; ++i) {
        const IParameter& parameter = *effect.ParameterAt(i);
        const LilvPort* p = port(i);
        SCOPED_TRACE(parameter.NameForHost());
        EXPECT_EQ(classes(p), (Texts{LV2_CORE__InputPort, LV2_CORE__ControlPort}));
        EXPECT_EQ(Name(p), parameter.NameForHost());
        const Range range = RangeOf(p);
        EXPECT_EQ(range.defaultValue, parameter.Value());
        EXPECT_EQ(range.minimum, parameter.Minimum());
        EXPECT_EQ(range.maximum, parameter.Maximum());
        ASSERT_TRUE(kUnits.contains(parameter.LabelForHost())) << parameter.LabelForHost();
        EXPECT_EQ(PortObjects(p, LV2_UNITS__unit), kUnits.at(parameter.LabelForHost()));
        // Whole values are integers, those with names an enumeration of them.
        Texts properties;
        if (parameter.Kind() == kKindToggle)
            properties.insert(LV2_CORE__toggled);
        else if (parameter.IsIntegerValued())
            properties.insert(LV2_CORE__integer);
        if (parameter.ValueTextCount() > 0)
            properties.insert(LV2_CORE__enumeration);
        EXPECT_EQ(PortObjects(p, LV2_CORE__portProperty), properties);
        std::map<double, std::string> named, declared;
        for (int v = 0; v < parameter.ValueTextCount(); ++v)
            named[parameter.ValueTextAt(v).value] = parameter.ValueTextAt(v).text;
        LilvScalePoints* points = lilv_port_get_scale_points(world.plugin, p);
        LILV_FOREACH(scale_points, at, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, at);
            declared[std::stod(lilv_node_as_string(lilv_scale_point_get_value(point)))] =
                lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        EXPECT_EQ(declared, named);
    }

    const LV2AudioPort audioPorts[] = {
        {"in_l", "In L", false, false},
        {"in_r", "In R", false, false},
        {"sidechain_l", "Side-chain L", false, true},
        {"sidechain_r", "Side-chain R", false, true},
        {"out_l", "Out L", true, false},
        {"out_r", "Out R", true, false},
    };
    for (int i = 0; i < static_cast<int>(std::size(audioPorts)); ++i) {
        const LV2AudioPort& audio = audioPorts[i];
        const LilvPort* p = port(LV2AudioPortIndex(parameters, i));
        SCOPED_TRACE(audio.symbol);
        EXPECT_EQ(Name(p), audio.name);
        EXPECT_EQ(classes(p), (Texts{audio.output ? LV2_CORE__OutputPort : LV2_CORE__InputPort,
                                     LV2_CORE__AudioPort}));
        // A side-chain drives without being heard, and a host may leave it unconnected.
        const Texts sideChain{kIsSideChain, LV2_CORE__connectionOptional};
        EXPECT_EQ(PortObjects(p, LV2_CORE__portProperty), audio.sideChain ? sideChain : Texts{});
    }

    ASSERT_EQ(meters.size(), static_cast<std::size_t>(Quelor::kMeterCount));
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const MeterDescription& meter = meters[i];
        const LilvPort* p =
            port(LV2MeterPortIndex(effect.Buses(), parameters, static_cast<int>(i)));
        SCOPED_TRACE(meter.symbol);
        EXPECT_EQ(classes(p), (Texts{LV2_CORE__OutputPort, LV2_CORE__ControlPort}));
        const Range range = RangeOf(p);
        EXPECT_EQ(range.minimum, meter.minimum);
        EXPECT_EQ(range.maximum, meter.maximum);
        ASSERT_TRUE(kUnits.contains(meter.unit)) << meter.unit;
        EXPECT_EQ(PortObjects(p, LV2_UNITS__unit), kUnits.at(meter.unit));
        EXPECT_EQ(PortObjects(p, LV2_CORE__portProperty), Texts{});
    }
}

TEST_F(Description, ThePluginAndItsPanelAskForWhatTheyNeed) {
    const LV2Product& product = QuelorLV2Product();
    const LilvNode* plugin = lilv_plugin_get_uri(world.plugin);
    const LilvNode* ui = Node(product.uiUri);
    const std::string bundle = lilv_node_as_uri(lilv_plugin_get_bundle_uri(world.plugin));
    const std::string minor =
        std::to_string(2 * (100 * QUELOR_VERSION_MAJOR + QUELOR_VERSION_MINOR));
    const std::string micro = std::to_string(2 * QUELOR_VERSION_PATCH);
    const struct {
        const LilvNode* subject;
        std::string predicate;
        Texts objects;
    } facts[] = {
        // Even numbers from the project's version: a release, which hosts show.
        {plugin, LV2_CORE__minorVersion, {minor}},
        {plugin, LV2_CORE__microVersion, {micro}},
        {plugin, kDoapLicense, {product.license}},
        // It runs anywhere; it reads the longest block from the options when offered.
        {plugin, LV2_CORE__requiredFeature, {}},
        {plugin,
         LV2_CORE__optionalFeature,
         {LV2_CORE__hardRTCapable, LV2_OPTIONS__options, LV2_URID__map}},
        {plugin, LV2_OPTIONS__supportedOption, {LV2_BUF_SIZE__maxBlockLength}},
        {ui, kRdfType, {LV2_UI__X11UI}},
        {ui, LV2_CORE__binary, {bundle + "QuelorUI.so"}},
        {ui, LV2_UI__binary, {}},
        // It lives in the host's window and draws only when the host idles it; it
        // announces its size and gestures where the host listens, and follows the host's
        // resizes through ui:resize.
        {ui, LV2_CORE__requiredFeature, {LV2_UI__idleInterface, LV2_UI__parent}},
        {ui, LV2_CORE__optionalFeature, {LV2_UI__noUserResize, LV2_UI__resize, LV2_UI__touch}},
        {ui, LV2_CORE__extensionData, {LV2_UI__idleInterface, LV2_UI__resize}},
    };
    for (const auto& fact : facts)
        EXPECT_EQ(Objects(fact.subject, fact.predicate), fact.objects)
            << lilv_node_as_string(fact.subject) << " " << fact.predicate;

    // The meters reach the panel, each value as one float.
    Texts expected;
    for (const MeterDescription& meter : Quelor().Meters())
        expected.insert(std::string(product.uri) + " " + meter.symbol + " " +
                        LV2_UI__floatProtocol);
    Texts notifications;
    LilvNodes* found =
        lilv_world_find_nodes(world.world, ui, Node(LV2_UI__portNotification), nullptr);
    LILV_FOREACH(nodes, i, found) {
        const LilvNode* note = lilv_nodes_get(found, i);
        std::string text;
        for (const char* predicate : {LV2_UI__plugin, LV2_CORE__symbol, LV2_UI__protocol})
            for (const std::string& object : Objects(note, predicate))
                text += (text.empty() ? "" : " ") + object;
        notifications.insert(text);
    }
    lilv_nodes_free(found);
    EXPECT_EQ(notifications, expected);
}

} // namespace
