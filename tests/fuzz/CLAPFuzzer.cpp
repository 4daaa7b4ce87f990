// A CLAP host's life decoded from the input: activation with hostile rates and block
// limits, processing with hostile buffers and event lists (sizes, times, spaces, types,
// ids, values), flushes whether active or not, state loads of garbage and of the plug-in's
// own state cut or bent, parameter texts. After every step the values, the texts, the
// state and the audio must stay within bounds.
#include "CLAPEntry.h"
#include "CLAPTestEvents.h"
#include "CLAPTestStreams.h"
#include "FuzzHost.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {
// The host: one thread that is both main and audio, a log and params that count.
struct Host {
    clap_host_t record;
    int logged = 0;
};

Host& HostOf(const clap_host_t* host) {
    return *static_cast<Host*>(host->host_data);
}

bool QUELOR_CLAP_CALL IsEither(const clap_host_t*) {
    return true;
}
void QUELOR_CLAP_CALL Log(const clap_host_t* host, clap_log_severity, const char* message) {
    Require(message && std::strlen(message) < 1000, "log messages are terminated");
    ++HostOf(host).logged;
}
void QUELOR_CLAP_CALL Nothing(const clap_host_t*) {}
void QUELOR_CLAP_CALL Rescan(const clap_host_t*, uint32_t) {}
void QUELOR_CLAP_CALL Clear(const clap_host_t*, clap_id, uint32_t) {}

const clap_host_thread_check_t kThreadCheck = {IsEither, IsEither};
const clap_host_log_t kLog = {Log};
const clap_host_params_t kParams = {Rescan, Clear, Nothing};

const void* QUELOR_CLAP_CALL GetExtension(const clap_host_t*, const char* id) {
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0)
        return &kThreadCheck;
    if (std::strcmp(id, CLAP_EXT_LOG) == 0)
        return &kLog;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
        return &kParams;
    return nullptr;
}

double HostileDouble(FuzzedDataProvider& in) {
    static constexpr double kSpecial[] = {0.0,
                                          -0.0,
                                          0.5,
                                          1.0,
                                          -1.0,
                                          2.0,
                                          -60.0,
                                          1500.0,
                                          1.0e-310,
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::lowest(),
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          44100.0,
                                          1.0e9};
    if (in.ConsumeBool())
        return in.PickValueInArray(kSpecial);
    return std::bit_cast<double>(in.ConsumeIntegral<uint64_t>());
}

uint32_t HostileCount(FuzzedDataProvider& in) {
    static constexpr uint32_t kSpecial[] = {0,    1,     2,     17,        64,        512,
                                            4096, 65536, 65537, INT32_MAX, UINT32_MAX};
    return in.ConsumeBool() ? in.PickValueInArray(kSpecial) : in.ConsumeIntegral<uint32_t>();
}

// Events as bytes, each in an allocation exactly as large as its header says.
class Events {
public:
    void Add(FuzzedDataProvider& in, uint32_t frames) {
        static constexpr uint32_t kSizes[] = {16, 20, 47, 48, 55, 56, 57, 104, 200};
        uint32_t size = in.PickValueInArray(kSizes);
        std::vector<unsigned char> bytes(size, 0);
        clap_event_param_value_t value{};
        value.header.size = in.ConsumeBool() ? size : HostileCount(in);
        value.header.time =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, frames) : HostileCount(in);
        value.header.space_id = in.ConsumeIntegralInRange<uint16_t>(0, 3) == 0
                                    ? in.ConsumeIntegral<uint16_t>()
                                    : CLAP_CORE_EVENT_SPACE_ID;
        value.header.type =
            in.ConsumeBool() ? CLAP_EVENT_PARAM_VALUE : in.ConsumeIntegralInRange<uint16_t>(0, 13);
        value.param_id =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<clap_id>(0, 12) : HostileCount(in);
        value.note_id = in.ConsumeIntegral<int32_t>();
        value.value = HostileDouble(in);
        // A host keeps its promise about how many bytes there are: the size it states
        // is allocated, whatever it is, up to a limit.
        size = std::clamp<uint32_t>(value.header.size, 16, 256);
        bytes.assign(size, 0);
        std::memcpy(bytes.data(), &value, std::min<std::size_t>(size, sizeof value));
        events.push_back(std::move(bytes));
    }
    const clap_input_events_t* List() {
        list = {this, Size, Get};
        return &list;
    }

private:
    static uint32_t QUELOR_CLAP_CALL Size(const clap_input_events_t* list) {
        return static_cast<uint32_t>(static_cast<Events*>(list->ctx)->events.size());
    }
    static const clap_event_header_t* QUELOR_CLAP_CALL Get(const clap_input_events_t* list,
                                                           uint32_t index) {
        auto& events = static_cast<Events*>(list->ctx)->events;
        return index < events.size()
                   ? reinterpret_cast<const clap_event_header_t*>(events[index].data())
                   : nullptr;
    }
    std::vector<std::vector<unsigned char>> events;
    clap_input_events_t list{};
};

// What the plug-in sent, as a host that took it (or refused it all) saw it.
void CheckSent(const CLAPOutputEvents& out, bool refused, uint32_t frames) {
    Require(refused || out.Refused() == 0,
            "output events carry a whole header and a record's size");
    for (std::size_t i = 0; i < out.Count(); ++i) {
        const clap_event_header_t header = out.Header(i);
        Require(header.type != CLAP_EVENT_TRANSPORT, "no transport goes out");
        Require(header.time == 0 && (frames == 0 || header.time < frames),
                "output events lie inside the block");
    }
}

// A host's stream over bytes, moving pieces of one size (0: all asked for), failing after
// failAt bytes where it is given.
void Plan(CLAPStreamPlan& plan, uint64_t piece, std::optional<std::size_t> failAt = {}) {
    if (piece > 0)
        plan.SetPieces({piece});
    if (failAt)
        plan.FailAfter(*failAt);
}

class Session {
public:
    explicit Session(const clap_plugin_t* p)
        : plugin(p),
          params(static_cast<const clap_plugin_params_t*>(p->get_extension(p, CLAP_EXT_PARAMS))),
          state(static_cast<const clap_plugin_state_t*>(p->get_extension(p, CLAP_EXT_STATE))) {}

    void Step(FuzzedDataProvider& in) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            active =
                plugin->activate(plugin, HostileDouble(in), HostileCount(in), HostileCount(in)) ||
                active;
            break;
        case 1:
            plugin->deactivate(plugin);
            active = false;
            break;
        case 2:
            plugin->start_processing(plugin);
            break;
        case 3:
            plugin->stop_processing(plugin);
            break;
        case 4:
        case 5:
            Process(in);
            break;
        case 6: {
            Events events;
            const int count = in.ConsumeIntegralInRange(0, 8);
            for (int i = 0; i < count; ++i)
                events.Add(in, 0);
            const bool refuse = in.ConsumeBool();
            CLAPOutputEvents out(refuse ? 0 : SIZE_MAX);
            params->flush(plugin, events.List(), out.List());
            CheckSent(out, refuse, 0);
            break;
        }
        case 7:
            LoadState(in);
            break;
        case 8:
            plugin->reset(plugin);
            break;
        default:
            Texts(in);
            break;
        }
        CheckValues();
    }

private:
    void Process(FuzzedDataProvider& in) {
        const uint32_t frames = in.ConsumeIntegralInRange<uint32_t>(0, 3000);
        const bool wide = in.ConsumeBool();
        const uint32_t inputPorts = in.ConsumeIntegralInRange<uint32_t>(0, 3);
        const uint32_t outputChannels = in.ConsumeIntegralInRange<uint32_t>(1, 3);
        const int kind = in.ConsumeIntegralInRange(0, 3);
        // One allocation per channel, so that a write past the block is seen.
        std::vector<std::vector<double>> wideData;
        std::vector<std::vector<float>> narrowData;
        std::vector<clap_audio_buffer_t> inputs(inputPorts);
        std::vector<std::vector<float*>> narrowPointers(inputPorts + 1);
        std::vector<std::vector<double*>> widePointers(inputPorts + 1);
        bool finiteInput = true;
        auto channel = [&](bool input) -> std::pair<float*, double*> {
            wideData.emplace_back(frames + 1);
            narrowData.emplace_back(frames + 1);
            for (uint32_t i = 0; i < frames; ++i) {
                double v = 0.0;
                if (input && kind == 0)
                    v = 0.8 * std::sin(0.031 * i);
                else if (input && kind == 1)
                    v = (i & 1) ? 1.0e-40 : -1.0e-310;
                else if (input && kind == 2 && in.remaining_bytes() >= 8)
                    v = HostileDouble(in);
                if (!std::isfinite(v) || std::fabs(v) > 1.0e15)
                    finiteInput = false;
                wideData.back()[i] = input ? v : std::numeric_limits<double>::quiet_NaN();
                narrowData.back()[i] = static_cast<float>(wideData.back()[i]);
                if (input && !std::isfinite(narrowData.back()[i]))
                    finiteInput = false;
            }
            wideData.back()[frames] = narrowData.back()[frames] = 12345.0f;
            return {narrowData.back().data(), wideData.back().data()};
        };
        for (uint32_t port = 0; port < inputPorts; ++port) {
            const uint32_t channels = in.ConsumeIntegralInRange<uint32_t>(0, 3);
            for (uint32_t ch = 0; ch < channels; ++ch) {
                const auto [narrow, doubles] = channel(true);
                const bool missing = in.ConsumeIntegralInRange(0, 7) == 0;
                narrowPointers[port].push_back(missing ? nullptr : narrow);
                widePointers[port].push_back(missing ? nullptr : doubles);
            }
            const bool noArray = in.ConsumeIntegralInRange(0, 7) == 0;
            inputs[port] = {wide || noArray ? nullptr : narrowPointers[port].data(),
                            wide && !noArray ? widePointers[port].data() : nullptr, channels, 0, 0};
        }
        for (uint32_t ch = 0; ch < outputChannels; ++ch) {
            const auto [narrow, doubles] = channel(false);
            narrowPointers[inputPorts].push_back(narrow);
            widePointers[inputPorts].push_back(doubles);
        }
        clap_audio_buffer_t output{wide ? nullptr : narrowPointers[inputPorts].data(),
                                   wide ? widePointers[inputPorts].data() : nullptr, outputChannels,
                                   0, ~0ull};
        Events events;
        const int count = in.ConsumeIntegralInRange(0, 12);
        for (int i = 0; i < count; ++i)
            events.Add(in, frames);
        const bool refuse = in.ConsumeBool();
        CLAPOutputEvents out(refuse ? 0 : SIZE_MAX);
        const clap_process_t process{-1,         frames, nullptr,       inputs.data(), &output,
                                     inputPorts, 1,      events.List(), out.List()};
        const clap_process_status status = plugin->process(plugin, &process);
        CheckSent(out, refuse, frames);
        const std::size_t firstOutput = wideData.size() - outputChannels;
        for (std::size_t ch = firstOutput; ch < wideData.size(); ++ch) {
            Require(wideData[ch][frames] == 12345.0 && narrowData[ch][frames] == 12345.0f,
                    "nothing is written past frames_count");
            if (status != CLAP_PROCESS_CONTINUE || ch - firstOutput >= 2)
                continue;
            Require(output.constant_mask == 0, "no constant channel is claimed");
            // A NaN in the input may come out as NaN: the poison is told apart only where
            // the input is finite.
            for (uint32_t i = 0; i < frames && finiteInput; ++i) {
                const double v = wide ? wideData[ch][i] : static_cast<double>(narrowData[ch][i]);
                Require(std::isfinite(v), "every output sample is written, and finite");
            }
        }
    }

    void LoadState(FuzzedDataProvider& in) {
        CLAPOStream saved;
        Require(state->save(plugin, saved.Stream()), "the plug-in saves its state");
        Require(saved.Bytes().size() == 8 + 8 * 12, "the state is the program chunk's 104 bytes");
        CLAPOStream again;
        Plan(again.plan, in.ConsumeIntegralInRange<uint64_t>(0, 7));
        Require(state->save(plugin, again.Stream()) && again.Bytes() == saved.Bytes(),
                "saving twice gives the same bytes");
        std::vector<uint8_t> bytes;
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
            break;
        case 1:
            bytes = saved.Bytes();
            bytes.resize(in.ConsumeIntegralInRange<std::size_t>(0, bytes.size()));
            break;
        case 2:
            bytes = saved.Bytes();
            for (int i = in.ConsumeIntegralInRange(0, 4); i > 0; --i)
                bytes[in.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1)] =
                    in.ConsumeIntegral<uint8_t>();
            break;
        default:
            bytes.assign(70000, 0x41);
            break;
        }
        const bool empty = bytes.empty();
        const uint64_t piece = in.ConsumeIntegralInRange<uint64_t>(0, 9);
        std::optional<std::size_t> failAt;
        if (in.ConsumeBool())
            failAt = in.ConsumeIntegralInRange<std::size_t>(0, bytes.size());
        CLAPIStream load(std::move(bytes));
        Plan(load.plan, piece, failAt);
        const bool loaded = state->load(plugin, load.Stream());
        CLAPOStream after;
        Require(state->save(plugin, after.Stream()), "the plug-in saves its state after a load");
        // A stream that fails or holds nothing changes nothing; a state cut short is applied
        // as far as it goes, with the host told that it was not whole.
        if (!loaded && (failAt || empty))
            Require(after.Bytes() == saved.Bytes(), "a state that cannot be read changes nothing");
    }

    void Texts(FuzzedDataProvider& in) {
        const clap_id id =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<clap_id>(0, 12) : HostileCount(in);
        char text[64];
        const uint32_t capacity = in.ConsumeIntegralInRange<uint32_t>(0, 48);
        std::memset(text, 0x5A, sizeof text);
        if (params->value_to_text(plugin, id, HostileDouble(in), text, capacity)) {
            Require(std::memchr(text, 0, capacity) != nullptr, "a text ends inside its buffer");
            double back = 0.0;
            if (capacity >= 32)
                Require(params->text_to_value(plugin, id, text, &back),
                        "a text the plug-in wrote reads back");
        }
        Require(std::all_of(text + capacity, text + sizeof text, [](char c) { return c == 0x5A; }),
                "nothing is written past the buffer");
        const std::string typed = in.ConsumeRandomLengthString(40);
        double value = 0.0;
        if (params->text_to_value(plugin, id, typed.c_str(), &value))
            Require(std::isfinite(value), "a text reads as a finite value");
    }

    void CheckValues() {
        for (uint32_t i = 0; i < params->count(plugin); ++i) {
            clap_param_info_t info{};
            double value = 0.0;
            Require(params->get_info(plugin, i, &info) &&
                        params->get_value(plugin, info.id, &value),
                    "every parameter answers");
            Require(value >= info.min_value && value <= info.max_value,
                    "every value lies in its range");
        }
    }

    const clap_plugin_t* plugin;
    const clap_plugin_params_t* params;
    const clap_plugin_state_t* state;
    bool active = false;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const bool initialised = CLAPEntryInit("fuzz");
    Require(initialised, "the entry initialises");
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(CLAPEntryGetFactory(CLAP_PLUGIN_FACTORY_ID));
    Host host{{CLAP_VERSION, nullptr, "Fuzz Host", "", "", "1.0", GetExtension, Nothing, Nothing,
               Nothing}};
    host.record.host_data = &host;
    const clap_plugin_t* plugin =
        factory->create_plugin(factory, &host.record, "com.brovane.quelor");
    Require(plugin && plugin->init(plugin), "the plug-in is made");
    FuzzedDataProvider in(data, size);
    {
        Session session(plugin);
        while (in.remaining_bytes() > 0)
            session.Step(in);
    }
    plugin->destroy(plugin);
    return 0;
}
