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

#include <array>
#include <map>
#include <optional>
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

using Range = std::array<std::optional<double>, 3>; // default, minimum, maximum

// What a port must declare.
struct Declared {
    Texts classes;
    std::string name;
    Range range;
    std::string label;
    Texts properties;
    std::map<double, std::string> scalePoints;
};

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

    // Default, minimum and maximum as exact reals, where the port declares them.
    Range RangeOf(const LilvPort* port) {
        LilvNode* values[3] = {};
        lilv_port_get_range(world.plugin, port, &values[0], &values[1], &values[2]);
        Range range;
        for (std::size_t i = 0; i < 3; ++i) {
            if (values[i])
                range[i] = std::stod(lilv_node_as_string(values[i]));
            lilv_node_free(values[i]);
        }
        return range;
    }
    std::map<double, std::string> ScalePoints(const LilvPort* port) {
        std::map<double, std::string> points;
        LilvScalePoints* found = lilv_port_get_scale_points(world.plugin, port);
        LILV_FOREACH(scale_points, at, found) {
            const LilvScalePoint* point = lilv_scale_points_get(found, at);
            points[std::stod(lilv_node_as_string(lilv_scale_point_get_value(point)))] =
                lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(found);
        return points;
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

// Every port in order: the parameters as the effect's table has them, the audio ports, the
// meters as the effect declares them.
TEST_F(Description, EveryPortSaysWhatTheTablesSay) {
    const Quelor effect;
    std::vector<Declared> ports;
    for (int i = 0; i < effect.ParameterCount(); ++i) {
        const IParameter& p = *effect.ParameterAt(i);
        Declared& port = ports.emplace_back(Declared{{LV2_CORE__InputPort, LV2_CORE__ControlPort},
                                                     p.NameForHost(),
                                                     {p.Value(), p.Minimum(), p.Maximum()},
                                                     p.LabelForHost(),
                                                     {},
                                                     {}});
        // Whole values are integers, those with names an enumeration of them.
        if (p.Kind() == kKindToggle)
            port.properties.insert(LV2_CORE__toggled);
        else if (p.IsIntegerValued())
            port.properties.insert(LV2_CORE__integer);
        if (p.ValueTextCount() > 0)
            port.properties.insert(LV2_CORE__enumeration);
        for (int v = 0; v < p.ValueTextCount(); ++v)
            port.scalePoints[p.ValueTextAt(v).value] = p.ValueTextAt(v).text;
    }
    // A side-chain drives without being heard, and a host may leave it unconnected.
    const Texts sideChain{kIsSideChain, LV2_CORE__connectionOptional};
    for (const auto& [name, output, side] :
         {std::tuple{"In L", false, false}, std::tuple{"In R", false, false},
          std::tuple{"Side-chain L", false, true}, std::tuple{"Side-chain R", false, true},
          std::tuple{"Out L", true, false}, std::tuple{"Out R", true, false}})
        ports.push_back({{output ? LV2_CORE__OutputPort : LV2_CORE__InputPort, LV2_CORE__AudioPort},
                         name,
                         {},
                         "",
                         side ? sideChain : Texts{},
                         {}});
    for (const MeterDescription& meter : effect.Meters())
        ports.push_back({{LV2_CORE__OutputPort, LV2_CORE__ControlPort},
                         meter.name,
                         {std::nullopt, meter.minimum, meter.maximum},
                         meter.unit,
                         {},
                         {}});
    ASSERT_EQ(lilv_plugin_get_num_ports(world.plugin), ports.size());

    // Every port's symbol, in order, is what hosts store in their sessions.
    std::string symbols;
    for (uint32_t i = 0; i < ports.size(); ++i) {
        const Declared& want = ports[i];
        const LilvPort* p = lilv_plugin_get_port_by_index(world.plugin, i);
        SCOPED_TRACE(want.name);
        symbols += lilv_node_as_string(lilv_port_get_symbol(world.plugin, p)) + std::string(" ");
        EXPECT_EQ(TextsOf(lilv_port_get_classes(world.plugin, p)), want.classes);
        EXPECT_EQ(Name(p), want.name);
        EXPECT_EQ(RangeOf(p), want.range);
        ASSERT_TRUE(kUnits.contains(want.label)) << want.label;
        EXPECT_EQ(PortObjects(p, LV2_UNITS__unit), kUnits.at(want.label));
        EXPECT_EQ(PortObjects(p, LV2_CORE__portProperty), want.properties);
        EXPECT_EQ(ScalePoints(p), want.scalePoints);
    }
    EXPECT_EQ(symbols, "attack release hold ratio stereo_mode sidechain_input threshold gain mix "
                       "release_2 attenuation brickwall in_l in_r sidechain_l sidechain_r out_l "
                       "out_r input_level gain_reduction output_level brickwall_activity ");
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
