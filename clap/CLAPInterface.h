#pragma once

// The records, identifiers and numbers of the CLAP binary interface that Quelor
// exchanges with a host, declared here from the published facts. Record and field
// names follow the published interface so a reader can check them one by one; the
// constants are spelled after the names the facts give them. Plain C layout with
// natural alignment: no packing, no enum-typed fields (flags and statuses are fixed-width
// integers), bool is one byte.
//
// Each function pointer carries QUELOR_CLAP_CALL, which the build takes from one header
// per platform (cdecl on Windows, nothing on Linux). Each says in a comment which thread
// may call it: [main], [audio] or [thread-safe]. The first argument is always the
// object that owns the pointer.
//
// The sizes and offsets are checked below each record for the two layouts the facts
// give: x64 (Linux x86-64 and 64-bit Windows, identical here) and w32 (32-bit Windows,
// where int64 and double members sit on 8-byte boundaries).

#include "CLAPCallingConvention.h"

#include <cstddef>
#include <cstdint>

// The expected value for whichever of the two layouts this build has.
constexpr std::size_t CLAPLayout(std::size_t x64, std::size_t w32) {
    return sizeof(void*) == 8 ? x64 : w32;
}

// ---------------------------------------------------------------------------------------
// Basics

struct clap_version_t {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
static_assert(sizeof(clap_version_t) == 12 && alignof(clap_version_t) == 4);

// The revision these declarations follow; 1.2.0 to 1.2.10 share every layout here.
inline constexpr clap_version_t CLAP_VERSION = {1, 2, 10};

// Any 1.x or later peer is compatible; 0.x was a pre-release. A host may report a version
// older than ours (1.1.x hosts are met in the field).
constexpr bool CLAPVersionIsCompatible(const clap_version_t& version) {
    return version.major >= 1;
}

using clap_id = uint32_t;
inline constexpr clap_id CLAP_INVALID_ID = 0xFFFFFFFFu;

// Fixed-point song positions: value = beats (or seconds) * 2^31.
using clap_beattime = int64_t;
using clap_sectime = int64_t;
inline constexpr int64_t CLAP_BEATTIME_FACTOR = int64_t{1} << 31;
inline constexpr int64_t CLAP_SECTIME_FACTOR = int64_t{1} << 31;

// Sizes of the fixed text fields, terminator included.
inline constexpr std::size_t CLAP_NAME_SIZE = 256;
inline constexpr std::size_t CLAP_PATH_SIZE = 1024;

struct clap_host_t;
struct clap_plugin_t;
struct clap_process_t;

// ---------------------------------------------------------------------------------------
// Entry and factory

// The module exports one object of this type, a data symbol named "clap_entry" with C
// linkage. In C++ a namespace-scope const has internal linkage: define it as
// `extern "C" const clap_plugin_entry_t clap_entry = {...};`.
struct clap_plugin_entry_t {
    clap_version_t clap_version;
    // Any thread, never concurrently with another call into the module. Since 1.2.0 (and
    // in older hosts too) it may be called again: count, and pair each with a deinit.
    bool(QUELOR_CLAP_CALL* init)(const char* plugin_path);
    void(QUELOR_CLAP_CALL* deinit)();
    // [thread-safe] Null for an id this module does not know.
    const void*(QUELOR_CLAP_CALL* get_factory)(const char* factory_id);
};
static_assert(sizeof(clap_plugin_entry_t) == CLAPLayout(40, 24));
static_assert(offsetof(clap_plugin_entry_t, clap_version) == 0);
static_assert(offsetof(clap_plugin_entry_t, init) == CLAPLayout(16, 12));
static_assert(offsetof(clap_plugin_entry_t, deinit) == CLAPLayout(24, 16));
static_assert(offsetof(clap_plugin_entry_t, get_factory) == CLAPLayout(32, 20));

inline constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    // id (reverse-URI) and name are mandatory; the others may be null, "" is safer.
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    // Null-terminated list of feature strings; at least one main category.
    const char* const* features;
};
static_assert(sizeof(clap_plugin_descriptor_t) == CLAPLayout(88, 48));
static_assert(offsetof(clap_plugin_descriptor_t, clap_version) == 0);
static_assert(offsetof(clap_plugin_descriptor_t, id) == CLAPLayout(16, 12));
static_assert(offsetof(clap_plugin_descriptor_t, name) == CLAPLayout(24, 16));
static_assert(offsetof(clap_plugin_descriptor_t, vendor) == CLAPLayout(32, 20));
static_assert(offsetof(clap_plugin_descriptor_t, url) == CLAPLayout(40, 24));
static_assert(offsetof(clap_plugin_descriptor_t, manual_url) == CLAPLayout(48, 28));
static_assert(offsetof(clap_plugin_descriptor_t, support_url) == CLAPLayout(56, 32));
static_assert(offsetof(clap_plugin_descriptor_t, version) == CLAPLayout(64, 36));
static_assert(offsetof(clap_plugin_descriptor_t, description) == CLAPLayout(72, 40));
static_assert(offsetof(clap_plugin_descriptor_t, features) == CLAPLayout(80, 44));

// Descriptor features this effect may name.
inline constexpr char CLAP_PLUGIN_FEATURE_AUDIO_EFFECT[] = "audio-effect";
inline constexpr char CLAP_PLUGIN_FEATURE_COMPRESSOR[] = "compressor";
inline constexpr char CLAP_PLUGIN_FEATURE_MIXING[] = "mixing";
inline constexpr char CLAP_PLUGIN_FEATURE_MASTERING[] = "mastering";
inline constexpr char CLAP_PLUGIN_FEATURE_MONO[] = "mono";
inline constexpr char CLAP_PLUGIN_FEATURE_STEREO[] = "stereo";

// All [thread-safe].
struct clap_plugin_factory_t {
    uint32_t(QUELOR_CLAP_CALL* get_plugin_count)(const clap_plugin_factory_t* factory);
    // Null for an index out of range; the descriptor lives until deinit.
    const clap_plugin_descriptor_t*(QUELOR_CLAP_CALL* get_plugin_descriptor)(
        const clap_plugin_factory_t* factory, uint32_t index);
    // Null for an id that is not exactly one of ours (validators append garbage). The
    // host object outlives the plug-in, which calls it only from its init on.
    const clap_plugin_t*(QUELOR_CLAP_CALL* create_plugin)(const clap_plugin_factory_t* factory,
                                                          const clap_host_t* host,
                                                          const char* plugin_id);
};
static_assert(sizeof(clap_plugin_factory_t) == CLAPLayout(24, 12));
static_assert(offsetof(clap_plugin_factory_t, get_plugin_count) == 0);
static_assert(offsetof(clap_plugin_factory_t, get_plugin_descriptor) == CLAPLayout(8, 4));
static_assert(offsetof(clap_plugin_factory_t, create_plugin) == CLAPLayout(16, 8));

// ---------------------------------------------------------------------------------------
// The plug-in and host objects

// Life cycle: init -> activate -> start_processing -> process... -> stop_processing ->
// deactivate -> destroy. A host may deactivate without stop_processing.
struct clap_plugin_t {
    // Must be the factory's descriptor for this id.
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    // [main] False: the host destroys the plug-in. True: it is created, inactive.
    bool(QUELOR_CLAP_CALL* init)(const clap_plugin_t* plugin);
    // [main, inactive]
    void(QUELOR_CLAP_CALL* destroy)(const clap_plugin_t* plugin);
    // [main, inactive] Allocate here. While active the rate is fixed and every block's
    // frames_count lies in [min_frames_count, max_frames_count].
    bool(QUELOR_CLAP_CALL* activate)(const clap_plugin_t* plugin, double sample_rate,
                                     uint32_t min_frames_count, uint32_t max_frames_count);
    // [main, active]
    void(QUELOR_CLAP_CALL* deactivate)(const clap_plugin_t* plugin);
    // [audio, active, not processing]
    bool(QUELOR_CLAP_CALL* start_processing)(const clap_plugin_t* plugin);
    // [audio, active, processing]
    void(QUELOR_CLAP_CALL* stop_processing)(const clap_plugin_t* plugin);
    // [audio, active] Clears the signal state, keeps parameter values.
    void(QUELOR_CLAP_CALL* reset)(const clap_plugin_t* plugin);
    // [audio, active, processing] Returns a clap_process_status.
    int32_t(QUELOR_CLAP_CALL* process)(const clap_plugin_t* plugin, const clap_process_t* process);
    // [thread-safe, from init on] Null for an extension the plug-in does not offer.
    const void*(QUELOR_CLAP_CALL* get_extension)(const clap_plugin_t* plugin, const char* id);
    // [main] The answer to the host's request_callback.
    void(QUELOR_CLAP_CALL* on_main_thread)(const clap_plugin_t* plugin);
};
static_assert(sizeof(clap_plugin_t) == CLAPLayout(96, 48));
static_assert(offsetof(clap_plugin_t, desc) == 0);
static_assert(offsetof(clap_plugin_t, plugin_data) == CLAPLayout(8, 4));
static_assert(offsetof(clap_plugin_t, init) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_t, destroy) == CLAPLayout(24, 12));
static_assert(offsetof(clap_plugin_t, activate) == CLAPLayout(32, 16));
static_assert(offsetof(clap_plugin_t, deactivate) == CLAPLayout(40, 20));
static_assert(offsetof(clap_plugin_t, start_processing) == CLAPLayout(48, 24));
static_assert(offsetof(clap_plugin_t, stop_processing) == CLAPLayout(56, 28));
static_assert(offsetof(clap_plugin_t, reset) == CLAPLayout(64, 32));
static_assert(offsetof(clap_plugin_t, process) == CLAPLayout(72, 36));
static_assert(offsetof(clap_plugin_t, get_extension) == CLAPLayout(80, 40));
static_assert(offsetof(clap_plugin_t, on_main_thread) == CLAPLayout(88, 44));

struct clap_host_t {
    // The host's own version, which may be older than ours.
    clap_version_t clap_version;
    // The host's; a plug-in never writes it.
    void* host_data;
    // name and version are mandatory.
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    // [thread-safe, from plugin init on]
    const void*(QUELOR_CLAP_CALL* get_extension)(const clap_host_t* host, const char* extension_id);
    // [thread-safe] Deactivate and reactivate later (latency or layout changes).
    void(QUELOR_CLAP_CALL* request_restart)(const clap_host_t* host);
    // [thread-safe] Wakes a host that stopped calling process.
    void(QUELOR_CLAP_CALL* request_process)(const clap_host_t* host);
    // [thread-safe] Asks for on_main_thread soon; no promise when.
    void(QUELOR_CLAP_CALL* request_callback)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_t) == CLAPLayout(88, 48));
static_assert(offsetof(clap_host_t, clap_version) == 0);
static_assert(offsetof(clap_host_t, host_data) == CLAPLayout(16, 12));
static_assert(offsetof(clap_host_t, name) == CLAPLayout(24, 16));
static_assert(offsetof(clap_host_t, vendor) == CLAPLayout(32, 20));
static_assert(offsetof(clap_host_t, url) == CLAPLayout(40, 24));
static_assert(offsetof(clap_host_t, version) == CLAPLayout(48, 28));
static_assert(offsetof(clap_host_t, get_extension) == CLAPLayout(56, 32));
static_assert(offsetof(clap_host_t, request_restart) == CLAPLayout(64, 36));
static_assert(offsetof(clap_host_t, request_process) == CLAPLayout(72, 40));
static_assert(offsetof(clap_host_t, request_callback) == CLAPLayout(80, 44));

// ---------------------------------------------------------------------------------------
// Events

struct clap_event_header_t {
    // The whole event, header included.
    uint32_t size;
    // Sample offset in the block, in [0, frames_count).
    uint32_t time;
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
};
static_assert(sizeof(clap_event_header_t) == 16);
static_assert(offsetof(clap_event_header_t, size) == 0);
static_assert(offsetof(clap_event_header_t, time) == 4);
static_assert(offsetof(clap_event_header_t, space_id) == 8);
static_assert(offsetof(clap_event_header_t, type) == 10);
static_assert(offsetof(clap_event_header_t, flags) == 12);

// Events in any other space are someone else's: skip them.
inline constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

// clap_event_header_t::flags
inline constexpr uint32_t CLAP_EVENT_IS_LIVE = 1u << 0;
inline constexpr uint32_t CLAP_EVENT_DONT_RECORD = 1u << 1;

// clap_event_header_t::type in the core space
inline constexpr uint16_t CLAP_EVENT_NOTE_ON = 0;
inline constexpr uint16_t CLAP_EVENT_NOTE_OFF = 1;
inline constexpr uint16_t CLAP_EVENT_NOTE_CHOKE = 2;
inline constexpr uint16_t CLAP_EVENT_NOTE_END = 3;
inline constexpr uint16_t CLAP_EVENT_NOTE_EXPRESSION = 4;
inline constexpr uint16_t CLAP_EVENT_PARAM_VALUE = 5;
inline constexpr uint16_t CLAP_EVENT_PARAM_MOD = 6;
inline constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_BEGIN = 7;
inline constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_END = 8;
inline constexpr uint16_t CLAP_EVENT_TRANSPORT = 9;
inline constexpr uint16_t CLAP_EVENT_MIDI = 10;
inline constexpr uint16_t CLAP_EVENT_MIDI_SYSEX = 11;
inline constexpr uint16_t CLAP_EVENT_MIDI2 = 12;

// note_id, port_index, channel and key address one note; -1 is the wildcard. A plug-in
// without per-note parameters ignores them, whatever they hold.
struct clap_event_param_value_t {
    clap_event_header_t header;
    clap_id param_id;
    // The plug-in's cookie from clap_param_info_t, or null: look up by param_id then.
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};
static_assert(sizeof(clap_event_param_value_t) == CLAPLayout(56, 48));
static_assert(offsetof(clap_event_param_value_t, header) == 0);
static_assert(offsetof(clap_event_param_value_t, param_id) == 16);
static_assert(offsetof(clap_event_param_value_t, cookie) == CLAPLayout(24, 20));
static_assert(offsetof(clap_event_param_value_t, note_id) == CLAPLayout(32, 24));
static_assert(offsetof(clap_event_param_value_t, port_index) == CLAPLayout(36, 28));
static_assert(offsetof(clap_event_param_value_t, channel) == CLAPLayout(38, 30));
static_assert(offsetof(clap_event_param_value_t, key) == CLAPLayout(40, 32));
static_assert(offsetof(clap_event_param_value_t, value) == CLAPLayout(48, 40));

// The heard value is the parameter's value plus this amount (modulatable parameters only).
struct clap_event_param_mod_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double amount;
};
static_assert(sizeof(clap_event_param_mod_t) == CLAPLayout(56, 48));
static_assert(offsetof(clap_event_param_mod_t, header) == 0);
static_assert(offsetof(clap_event_param_mod_t, param_id) == 16);
static_assert(offsetof(clap_event_param_mod_t, cookie) == CLAPLayout(24, 20));
static_assert(offsetof(clap_event_param_mod_t, note_id) == CLAPLayout(32, 24));
static_assert(offsetof(clap_event_param_mod_t, port_index) == CLAPLayout(36, 28));
static_assert(offsetof(clap_event_param_mod_t, channel) == CLAPLayout(38, 30));
static_assert(offsetof(clap_event_param_mod_t, key) == CLAPLayout(40, 32));
static_assert(offsetof(clap_event_param_mod_t, amount) == CLAPLayout(48, 40));

// CLAP_EVENT_PARAM_GESTURE_BEGIN and _END: the user grabbed or let go of a control.
struct clap_event_param_gesture_t {
    clap_event_header_t header;
    clap_id param_id;
};
static_assert(sizeof(clap_event_param_gesture_t) == 20);
static_assert(offsetof(clap_event_param_gesture_t, param_id) == 16);

// clap_event_transport_t::flags
inline constexpr uint32_t CLAP_TRANSPORT_HAS_TEMPO = 1u << 0;
inline constexpr uint32_t CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1;
inline constexpr uint32_t CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2;
inline constexpr uint32_t CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3;
inline constexpr uint32_t CLAP_TRANSPORT_IS_PLAYING = 1u << 4;
inline constexpr uint32_t CLAP_TRANSPORT_IS_RECORDING = 1u << 5;
inline constexpr uint32_t CLAP_TRANSPORT_IS_LOOP_ACTIVE = 1u << 6;
inline constexpr uint32_t CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 1u << 7;

// Also what clap_process_t::transport points at, where hosts have been seen to leave the
// header unset: never judge a transport by its header.
struct clap_event_transport_t {
    clap_event_header_t header;
    uint32_t flags;
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo;
    double tempo_inc;
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    int32_t bar_number;
    uint16_t tsig_num;
    uint16_t tsig_denom;
};
static_assert(sizeof(clap_event_transport_t) == 104);
static_assert(offsetof(clap_event_transport_t, flags) == 16);
static_assert(offsetof(clap_event_transport_t, song_pos_beats) == 24);
static_assert(offsetof(clap_event_transport_t, song_pos_seconds) == 32);
static_assert(offsetof(clap_event_transport_t, tempo) == 40);
static_assert(offsetof(clap_event_transport_t, tempo_inc) == 48);
static_assert(offsetof(clap_event_transport_t, loop_start_beats) == 56);
static_assert(offsetof(clap_event_transport_t, loop_end_beats) == 64);
static_assert(offsetof(clap_event_transport_t, loop_start_seconds) == 72);
static_assert(offsetof(clap_event_transport_t, loop_end_seconds) == 80);
static_assert(offsetof(clap_event_transport_t, bar_start) == 88);
static_assert(offsetof(clap_event_transport_t, bar_number) == 96);
static_assert(offsetof(clap_event_transport_t, tsig_num) == 100);
static_assert(offsetof(clap_event_transport_t, tsig_denom) == 102);

// The host's events for one block (or one flush), sorted by time, ties allowed.
struct clap_input_events_t {
    void* ctx;
    uint32_t(QUELOR_CLAP_CALL* size)(const clap_input_events_t* list);
    const clap_event_header_t*(QUELOR_CLAP_CALL* get)(const clap_input_events_t* list,
                                                      uint32_t index);
};
static_assert(sizeof(clap_input_events_t) == CLAPLayout(24, 12));
static_assert(offsetof(clap_input_events_t, ctx) == 0);
static_assert(offsetof(clap_input_events_t, size) == CLAPLayout(8, 4));
static_assert(offsetof(clap_input_events_t, get) == CLAPLayout(16, 8));

// The plug-in's events back to the host: time-sorted, before frames_count, no transport.
struct clap_output_events_t {
    void* ctx;
    // The host copies header->size bytes; false means the event was not queued.
    bool(QUELOR_CLAP_CALL* try_push)(const clap_output_events_t* list,
                                     const clap_event_header_t* event);
};
static_assert(sizeof(clap_output_events_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_output_events_t, ctx) == 0);
static_assert(offsetof(clap_output_events_t, try_push) == CLAPLayout(8, 4));

// ---------------------------------------------------------------------------------------
// Processing

// One audio port's buffers. Exactly one of data32 and data64 is set.
struct clap_audio_buffer_t {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    // Bit i: channel i holds sample 0's value for the whole block. A hint on inputs (the
    // buffer is filled all the same); on outputs the plug-in writes it every block.
    uint64_t constant_mask;
};
static_assert(sizeof(clap_audio_buffer_t) == CLAPLayout(32, 24));
static_assert(offsetof(clap_audio_buffer_t, data32) == 0);
static_assert(offsetof(clap_audio_buffer_t, data64) == CLAPLayout(8, 4));
static_assert(offsetof(clap_audio_buffer_t, channel_count) == CLAPLayout(16, 8));
static_assert(offsetof(clap_audio_buffer_t, latency) == CLAPLayout(20, 12));
static_assert(offsetof(clap_audio_buffer_t, constant_mask) == CLAPLayout(24, 16));

// Every pointer is valid only during the call. Buffer i belongs to audio port i; a host may
// pass fewer buffers than ports were declared.
struct clap_process_t {
    // -1 when unknown; otherwise it grows by at least frames_count per call.
    int64_t steady_time;
    uint32_t frames_count;
    // Null when the host runs free of any timeline.
    const clap_event_transport_t* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};
static_assert(sizeof(clap_process_t) == CLAPLayout(64, 40) && alignof(clap_process_t) == 8);
static_assert(offsetof(clap_process_t, steady_time) == 0);
static_assert(offsetof(clap_process_t, frames_count) == 8);
static_assert(offsetof(clap_process_t, transport) == CLAPLayout(16, 12));
static_assert(offsetof(clap_process_t, audio_inputs) == CLAPLayout(24, 16));
static_assert(offsetof(clap_process_t, audio_outputs) == CLAPLayout(32, 20));
static_assert(offsetof(clap_process_t, audio_inputs_count) == CLAPLayout(40, 24));
static_assert(offsetof(clap_process_t, audio_outputs_count) == CLAPLayout(44, 28));
static_assert(offsetof(clap_process_t, in_events) == CLAPLayout(48, 32));
static_assert(offsetof(clap_process_t, out_events) == CLAPLayout(56, 36));

// What process returns.
using clap_process_status = int32_t;
// The output is discarded.
inline constexpr clap_process_status CLAP_PROCESS_ERROR = 0;
inline constexpr clap_process_status CLAP_PROCESS_CONTINUE = 1;
inline constexpr clap_process_status CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2;
// Only with the tail extension.
inline constexpr clap_process_status CLAP_PROCESS_TAIL = 3;
inline constexpr clap_process_status CLAP_PROCESS_SLEEP = 4;

// ---------------------------------------------------------------------------------------
// Extension ids (matched with strcmp by both sides)

inline constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
inline constexpr char CLAP_EXT_NOTE_PORTS[] = "clap.note-ports";
inline constexpr char CLAP_EXT_PARAMS[] = "clap.params";
inline constexpr char CLAP_EXT_STATE[] = "clap.state";
inline constexpr char CLAP_EXT_LATENCY[] = "clap.latency";
inline constexpr char CLAP_EXT_TAIL[] = "clap.tail";
inline constexpr char CLAP_EXT_RENDER[] = "clap.render";
inline constexpr char CLAP_EXT_GUI[] = "clap.gui";
inline constexpr char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
inline constexpr char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
inline constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
inline constexpr char CLAP_EXT_LOG[] = "clap.log";

// ---------------------------------------------------------------------------------------
// Audio ports

// clap_audio_port_info_t::flags
inline constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1u << 0;
inline constexpr uint32_t CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1;
inline constexpr uint32_t CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2;
inline constexpr uint32_t CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3;

// clap_audio_port_info_t::port_type; null or "" leaves it unspecified.
inline constexpr char CLAP_PORT_MONO[] = "mono";
inline constexpr char CLAP_PORT_STEREO[] = "stereo";

struct clap_audio_port_info_t {
    // Unique among the inputs, and among the outputs.
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    // The port of the other direction that may share this one's buffer, or CLAP_INVALID_ID.
    clap_id in_place_pair;
};
static_assert(sizeof(clap_audio_port_info_t) == CLAPLayout(288, 276));
static_assert(offsetof(clap_audio_port_info_t, id) == 0);
static_assert(offsetof(clap_audio_port_info_t, name) == 4);
static_assert(offsetof(clap_audio_port_info_t, flags) == 260);
static_assert(offsetof(clap_audio_port_info_t, channel_count) == 264);
static_assert(offsetof(clap_audio_port_info_t, port_type) == CLAPLayout(272, 268));
static_assert(offsetof(clap_audio_port_info_t, in_place_pair) == CLAPLayout(280, 272));

// Plug-in side; [main], asked while inactive. At most one main port per direction, at
// index 0; the layout changes only while inactive.
struct clap_plugin_audio_ports_t {
    uint32_t(QUELOR_CLAP_CALL* count)(const clap_plugin_t* plugin, bool is_input);
    bool(QUELOR_CLAP_CALL* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                                clap_audio_port_info_t* info);
};
static_assert(sizeof(clap_plugin_audio_ports_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_audio_ports_t, count) == 0);
static_assert(offsetof(clap_plugin_audio_ports_t, get) == CLAPLayout(8, 4));

// Rescan flags; all but NAMES need the plug-in inactive.
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_NAMES = 1u << 0;
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_FLAGS = 1u << 1;
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_CHANNEL_COUNT = 1u << 2;
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_PORT_TYPE = 1u << 3;
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_IN_PLACE_PAIR = 1u << 4;
inline constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_LIST = 1u << 5;

// Host side; [main].
struct clap_host_audio_ports_t {
    bool(QUELOR_CLAP_CALL* is_rescan_flag_supported)(const clap_host_t* host, uint32_t flag);
    void(QUELOR_CLAP_CALL* rescan)(const clap_host_t* host, uint32_t flags);
};
static_assert(sizeof(clap_host_audio_ports_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_host_audio_ports_t, is_rescan_flag_supported) == 0);
static_assert(offsetof(clap_host_audio_ports_t, rescan) == CLAPLayout(8, 4));

// ---------------------------------------------------------------------------------------
// Parameters

// clap_param_info_t::flags
inline constexpr uint32_t CLAP_PARAM_IS_STEPPED = 1u << 0;
inline constexpr uint32_t CLAP_PARAM_IS_PERIODIC = 1u << 1;
inline constexpr uint32_t CLAP_PARAM_IS_HIDDEN = 1u << 2;
inline constexpr uint32_t CLAP_PARAM_IS_READONLY = 1u << 3;
// At most one; stepped, 0 = off, 1 = on. The host keeps calling process while bypassed.
inline constexpr uint32_t CLAP_PARAM_IS_BYPASS = 1u << 4;
inline constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE = 1u << 5;
inline constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1u << 6;
inline constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1u << 7;
inline constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1u << 8;
inline constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1u << 9;
inline constexpr uint32_t CLAP_PARAM_IS_MODULATABLE = 1u << 10;
inline constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1u << 11;
inline constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1u << 12;
inline constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1u << 13;
inline constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1u << 14;
inline constexpr uint32_t CLAP_PARAM_REQUIRES_PROCESS = 1u << 15;
// Needs IS_STEPPED and a non-empty text for every step.
inline constexpr uint32_t CLAP_PARAM_IS_ENUM = 1u << 16;

// Ids never change; min and max are finite and the default lies between them. Stepped
// values convert to integers by truncation.
struct clap_param_info_t {
    clap_id id;
    uint32_t flags;
    // Comes back in the host's parameter events, or null there.
    void* cookie;
    char name[CLAP_NAME_SIZE];
    // '/'-separated group path.
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
};
static_assert(sizeof(clap_param_info_t) == 1320 && alignof(clap_param_info_t) == 8);
static_assert(offsetof(clap_param_info_t, id) == 0);
static_assert(offsetof(clap_param_info_t, flags) == 4);
static_assert(offsetof(clap_param_info_t, cookie) == 8);
static_assert(offsetof(clap_param_info_t, name) == CLAPLayout(16, 12));
static_assert(offsetof(clap_param_info_t, module) == CLAPLayout(272, 268));
static_assert(offsetof(clap_param_info_t, min_value) == 1296);
static_assert(offsetof(clap_param_info_t, max_value) == 1304);
static_assert(offsetof(clap_param_info_t, default_value) == 1312);

struct clap_plugin_params_t {
    // [main]
    uint32_t(QUELOR_CLAP_CALL* count)(const clap_plugin_t* plugin);
    // [main]
    bool(QUELOR_CLAP_CALL* get_info)(const clap_plugin_t* plugin, uint32_t param_index,
                                     clap_param_info_t* param_info);
    // [main] A value flushed a moment ago shows here at once.
    bool(QUELOR_CLAP_CALL* get_value)(const clap_plugin_t* plugin, clap_id param_id,
                                      double* out_value);
    // [main]
    bool(QUELOR_CLAP_CALL* value_to_text)(const clap_plugin_t* plugin, clap_id param_id,
                                          double value, char* out_buffer,
                                          uint32_t out_buffer_capacity);
    // [main]
    bool(QUELOR_CLAP_CALL* text_to_value)(const clap_plugin_t* plugin, clap_id param_id,
                                          const char* param_value_text, double* out_value);
    // [active ? audio : main] Parameter traffic both ways while process is not running;
    // never concurrent with process, yet hosts have called it while processing.
    void(QUELOR_CLAP_CALL* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                                  const clap_output_events_t* out);
};
static_assert(sizeof(clap_plugin_params_t) == CLAPLayout(48, 24));
static_assert(offsetof(clap_plugin_params_t, count) == 0);
static_assert(offsetof(clap_plugin_params_t, get_info) == CLAPLayout(8, 4));
static_assert(offsetof(clap_plugin_params_t, get_value) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_params_t, value_to_text) == CLAPLayout(24, 12));
static_assert(offsetof(clap_plugin_params_t, text_to_value) == CLAPLayout(32, 16));
static_assert(offsetof(clap_plugin_params_t, flush) == CLAPLayout(40, 20));

// clap_host_params_t::rescan flags; ALL only while inactive.
inline constexpr uint32_t CLAP_PARAM_RESCAN_VALUES = 1u << 0;
inline constexpr uint32_t CLAP_PARAM_RESCAN_TEXT = 1u << 1;
inline constexpr uint32_t CLAP_PARAM_RESCAN_INFO = 1u << 2;
inline constexpr uint32_t CLAP_PARAM_RESCAN_ALL = 1u << 3;

// clap_host_params_t::clear flags
inline constexpr uint32_t CLAP_PARAM_CLEAR_ALL = 1u << 0;
inline constexpr uint32_t CLAP_PARAM_CLEAR_AUTOMATIONS = 1u << 1;
inline constexpr uint32_t CLAP_PARAM_CLEAR_MODULATIONS = 1u << 2;

struct clap_host_params_t {
    // [main]
    void(QUELOR_CLAP_CALL* rescan)(const clap_host_t* host, uint32_t flags);
    // [main]
    void(QUELOR_CLAP_CALL* clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);
    // [thread-safe, not audio] Asks for a flush (or a process call); harmless while processing.
    void(QUELOR_CLAP_CALL* request_flush)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_params_t) == CLAPLayout(24, 12));
static_assert(offsetof(clap_host_params_t, rescan) == 0);
static_assert(offsetof(clap_host_params_t, clear) == CLAPLayout(8, 4));
static_assert(offsetof(clap_host_params_t, request_flush) == CLAPLayout(16, 8));

// ---------------------------------------------------------------------------------------
// State

// Reads may be partial: loop. Returns the bytes read, 0 at the end, -1 on error.
struct clap_istream_t {
    void* ctx;
    int64_t(QUELOR_CLAP_CALL* read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};
static_assert(sizeof(clap_istream_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_istream_t, ctx) == 0);
static_assert(offsetof(clap_istream_t, read) == CLAPLayout(8, 4));

// Writes may be partial: loop. Returns the bytes written, -1 on error.
struct clap_ostream_t {
    void* ctx;
    int64_t(QUELOR_CLAP_CALL* write)(const clap_ostream_t* stream, const void* buffer,
                                     uint64_t size);
};
static_assert(sizeof(clap_ostream_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_ostream_t, ctx) == 0);
static_assert(offsetof(clap_ostream_t, write) == CLAPLayout(8, 4));

// Both [main]. load may come while the plug-in is active, even processing.
struct clap_plugin_state_t {
    bool(QUELOR_CLAP_CALL* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool(QUELOR_CLAP_CALL* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};
static_assert(sizeof(clap_plugin_state_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_state_t, save) == 0);
static_assert(offsetof(clap_plugin_state_t, load) == CLAPLayout(8, 4));

struct clap_host_state_t {
    // [main] For changes that are not parameter changes.
    void(QUELOR_CLAP_CALL* mark_dirty)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_state_t) == CLAPLayout(8, 4));

// ---------------------------------------------------------------------------------------
// Latency, tail, render

struct clap_plugin_latency_t {
    // [main, while being activated or active] In samples; hosts have asked earlier too.
    uint32_t(QUELOR_CLAP_CALL* get)(const clap_plugin_t* plugin);
};
static_assert(sizeof(clap_plugin_latency_t) == sizeof(void*));

struct clap_host_latency_t {
    // [main, only inside activate] While active, use request_restart instead.
    void(QUELOR_CLAP_CALL* changed)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_latency_t) == sizeof(void*));

struct clap_plugin_tail_t {
    // [main, audio] In samples; INT32_MAX or more means infinite.
    uint32_t(QUELOR_CLAP_CALL* get)(const clap_plugin_t* plugin);
};
static_assert(sizeof(clap_plugin_tail_t) == sizeof(void*));

struct clap_host_tail_t {
    // [audio]
    void(QUELOR_CLAP_CALL* changed)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_tail_t) == sizeof(void*));

using clap_plugin_render_mode = int32_t;
inline constexpr clap_plugin_render_mode CLAP_RENDER_REALTIME = 0;
inline constexpr clap_plugin_render_mode CLAP_RENDER_OFFLINE = 1;

struct clap_plugin_render_t {
    // [main]
    bool(QUELOR_CLAP_CALL* has_hard_realtime_requirement)(const clap_plugin_t* plugin);
    // [main]
    bool(QUELOR_CLAP_CALL* set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);
};
static_assert(sizeof(clap_plugin_render_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_render_t, has_hard_realtime_requirement) == 0);
static_assert(offsetof(clap_plugin_render_t, set) == CLAPLayout(8, 4));

// ---------------------------------------------------------------------------------------
// Log and thread-check (host only)

using clap_log_severity = int32_t;
inline constexpr clap_log_severity CLAP_LOG_DEBUG = 0;
inline constexpr clap_log_severity CLAP_LOG_INFO = 1;
inline constexpr clap_log_severity CLAP_LOG_WARNING = 2;
inline constexpr clap_log_severity CLAP_LOG_ERROR = 3;
inline constexpr clap_log_severity CLAP_LOG_FATAL = 4;
inline constexpr clap_log_severity CLAP_LOG_HOST_MISBEHAVING = 5;
inline constexpr clap_log_severity CLAP_LOG_PLUGIN_MISBEHAVING = 6;

struct clap_host_log_t {
    // [thread-safe] With no real-time promise: not from the audio thread.
    void(QUELOR_CLAP_CALL* log)(const clap_host_t* host, clap_log_severity severity,
                                const char* msg);
};
static_assert(sizeof(clap_host_log_t) == CLAPLayout(8, 4));

struct clap_host_thread_check_t {
    // [thread-safe]
    bool(QUELOR_CLAP_CALL* is_main_thread)(const clap_host_t* host);
    // [thread-safe]
    bool(QUELOR_CLAP_CALL* is_audio_thread)(const clap_host_t* host);
};
static_assert(sizeof(clap_host_thread_check_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_host_thread_check_t, is_main_thread) == 0);
static_assert(offsetof(clap_host_thread_check_t, is_audio_thread) == CLAPLayout(8, 4));

// ---------------------------------------------------------------------------------------
// Editor

// Window APIs. win32 and x11 sizes are physical pixels; cocoa and uikit are logical and
// get no set_scale; wayland is floating only.
inline constexpr char CLAP_WINDOW_API_WIN32[] = "win32";
inline constexpr char CLAP_WINDOW_API_COCOA[] = "cocoa";
inline constexpr char CLAP_WINDOW_API_UIKIT[] = "uikit";
inline constexpr char CLAP_WINDOW_API_X11[] = "x11";
inline constexpr char CLAP_WINDOW_API_WAYLAND[] = "wayland";

// A parent (embedded) or transient (floating) window, read according to api.
struct clap_window_t {
    const char* api;
    union {
        void* cocoa;
        void* uikit;
        // An X11 Window id.
        unsigned long x11;
        // An HWND.
        void* win32;
        void* ptr;
    };
};
static_assert(sizeof(clap_window_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_window_t, api) == 0);
static_assert(offsetof(clap_window_t, cocoa) == CLAPLayout(8, 4));
static_assert(offsetof(clap_window_t, uikit) == CLAPLayout(8, 4));
static_assert(offsetof(clap_window_t, x11) == CLAPLayout(8, 4));
static_assert(offsetof(clap_window_t, win32) == CLAPLayout(8, 4));
static_assert(offsetof(clap_window_t, ptr) == CLAPLayout(8, 4));

struct clap_gui_resize_hints_t {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};
static_assert(sizeof(clap_gui_resize_hints_t) == 12);
static_assert(offsetof(clap_gui_resize_hints_t, can_resize_horizontally) == 0);
static_assert(offsetof(clap_gui_resize_hints_t, can_resize_vertically) == 1);
static_assert(offsetof(clap_gui_resize_hints_t, preserve_aspect_ratio) == 2);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_height) == 8);

// Every member is [main]. Hosts call them in differing orders (some never call set_scale,
// some never call show after set_parent), and nothing ties the editor to activation.
struct clap_plugin_gui_t {
    bool(QUELOR_CLAP_CALL* is_api_supported)(const clap_plugin_t* plugin, const char* api,
                                             bool is_floating);
    // Points *api at a string of the plug-in's own.
    bool(QUELOR_CLAP_CALL* get_preferred_api)(const clap_plugin_t* plugin, const char** api,
                                              bool* is_floating);
    bool(QUELOR_CLAP_CALL* create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void(QUELOR_CLAP_CALL* destroy)(const clap_plugin_t* plugin);
    // 2.0 is 200%; false when the plug-in ignores it.
    bool(QUELOR_CLAP_CALL* set_scale)(const clap_plugin_t* plugin, double scale);
    // Must answer right after create.
    bool(QUELOR_CLAP_CALL* get_size)(const clap_plugin_t* plugin, uint32_t* width,
                                     uint32_t* height);
    // The next five: embedded editors only.
    bool(QUELOR_CLAP_CALL* can_resize)(const clap_plugin_t* plugin);
    bool(QUELOR_CLAP_CALL* get_resize_hints)(const clap_plugin_t* plugin,
                                             clap_gui_resize_hints_t* hints);
    bool(QUELOR_CLAP_CALL* adjust_size)(const clap_plugin_t* plugin, uint32_t* width,
                                        uint32_t* height);
    bool(QUELOR_CLAP_CALL* set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool(QUELOR_CLAP_CALL* set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    // The next two: floating editors only.
    bool(QUELOR_CLAP_CALL* set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void(QUELOR_CLAP_CALL* suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool(QUELOR_CLAP_CALL* show)(const clap_plugin_t* plugin);
    bool(QUELOR_CLAP_CALL* hide)(const clap_plugin_t* plugin);
};
static_assert(sizeof(clap_plugin_gui_t) == CLAPLayout(120, 60));
static_assert(offsetof(clap_plugin_gui_t, is_api_supported) == 0);
static_assert(offsetof(clap_plugin_gui_t, get_preferred_api) == CLAPLayout(8, 4));
static_assert(offsetof(clap_plugin_gui_t, create) == CLAPLayout(16, 8));
static_assert(offsetof(clap_plugin_gui_t, destroy) == CLAPLayout(24, 12));
static_assert(offsetof(clap_plugin_gui_t, set_scale) == CLAPLayout(32, 16));
static_assert(offsetof(clap_plugin_gui_t, get_size) == CLAPLayout(40, 20));
static_assert(offsetof(clap_plugin_gui_t, can_resize) == CLAPLayout(48, 24));
static_assert(offsetof(clap_plugin_gui_t, get_resize_hints) == CLAPLayout(56, 28));
static_assert(offsetof(clap_plugin_gui_t, adjust_size) == CLAPLayout(64, 32));
static_assert(offsetof(clap_plugin_gui_t, set_size) == CLAPLayout(72, 36));
static_assert(offsetof(clap_plugin_gui_t, set_parent) == CLAPLayout(80, 40));
static_assert(offsetof(clap_plugin_gui_t, set_transient) == CLAPLayout(88, 44));
static_assert(offsetof(clap_plugin_gui_t, suggest_title) == CLAPLayout(96, 48));
static_assert(offsetof(clap_plugin_gui_t, show) == CLAPLayout(104, 52));
static_assert(offsetof(clap_plugin_gui_t, hide) == CLAPLayout(112, 56));

// All [thread-safe].
struct clap_host_gui_t {
    // Embedded editors only.
    void(QUELOR_CLAP_CALL* resize_hints_changed)(const clap_host_t* host);
    // Embedded editors only. True: accepted, and no set_size follows (off the main thread
    // it only means queued). Legal even when can_resize says no.
    bool(QUELOR_CLAP_CALL* request_resize)(const clap_host_t* host, uint32_t width,
                                           uint32_t height);
    bool(QUELOR_CLAP_CALL* request_show)(const clap_host_t* host);
    bool(QUELOR_CLAP_CALL* request_hide)(const clap_host_t* host);
    void(QUELOR_CLAP_CALL* closed)(const clap_host_t* host, bool was_destroyed);
};
static_assert(sizeof(clap_host_gui_t) == CLAPLayout(40, 20));
static_assert(offsetof(clap_host_gui_t, resize_hints_changed) == 0);
static_assert(offsetof(clap_host_gui_t, request_resize) == CLAPLayout(8, 4));
static_assert(offsetof(clap_host_gui_t, request_show) == CLAPLayout(16, 8));
static_assert(offsetof(clap_host_gui_t, request_hide) == CLAPLayout(24, 12));
static_assert(offsetof(clap_host_gui_t, closed) == CLAPLayout(32, 16));

// ---------------------------------------------------------------------------------------
// Timers and file descriptors: how an X11 editor is called on Linux, where the host runs
// no event loop for the plug-in.

struct clap_plugin_timer_support_t {
    // [main]
    void(QUELOR_CLAP_CALL* on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};
static_assert(sizeof(clap_plugin_timer_support_t) == sizeof(void*));

// Both [main]. Hosts may lengthen short periods, and some number timers from 0: only
// CLAP_INVALID_ID means "no timer".
struct clap_host_timer_support_t {
    bool(QUELOR_CLAP_CALL* register_timer)(const clap_host_t* host, uint32_t period_ms,
                                           clap_id* timer_id);
    bool(QUELOR_CLAP_CALL* unregister_timer)(const clap_host_t* host, clap_id timer_id);
};
static_assert(sizeof(clap_host_timer_support_t) == CLAPLayout(16, 8));
static_assert(offsetof(clap_host_timer_support_t, register_timer) == 0);
static_assert(offsetof(clap_host_timer_support_t, unregister_timer) == CLAPLayout(8, 4));

using clap_posix_fd_flags_t = uint32_t;
inline constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_READ = 1u << 0;
inline constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_WRITE = 1u << 1;
inline constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_ERROR = 1u << 2;

struct clap_plugin_posix_fd_support_t {
    // [main] Level-triggered: called again while the condition holds.
    void(QUELOR_CLAP_CALL* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
};
static_assert(sizeof(clap_plugin_posix_fd_support_t) == sizeof(void*));

// All [main].
struct clap_host_posix_fd_support_t {
    bool(QUELOR_CLAP_CALL* register_fd)(const clap_host_t* host, int fd,
                                        clap_posix_fd_flags_t flags);
    bool(QUELOR_CLAP_CALL* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool(QUELOR_CLAP_CALL* unregister_fd)(const clap_host_t* host, int fd);
};
static_assert(sizeof(clap_host_posix_fd_support_t) == CLAPLayout(24, 12));
static_assert(offsetof(clap_host_posix_fd_support_t, register_fd) == 0);
static_assert(offsetof(clap_host_posix_fd_support_t, modify_fd) == CLAPLayout(8, 4));
static_assert(offsetof(clap_host_posix_fd_support_t, unregister_fd) == CLAPLayout(16, 8));
