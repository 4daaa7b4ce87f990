// The test host's own objects, where a fault in them would hide a fault in a plug-in.
#include "CLAPTestHost.h"
#include "CLAPModule.h"
#include "CLAPTestAudio.h"
#include "CLAPTestEvents.h"
#include "CLAPTestStreams.h"
#include "SharedLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <numeric>
#include <thread>

namespace {
template <class Extension> const Extension* Ask(const CLAPTestHost& host, const char* id) {
    return static_cast<const Extension*>(host.Host()->get_extension(host.Host(), id));
}

const char* const kAllHostExtensions[] = {CLAP_EXT_THREAD_CHECK,  CLAP_EXT_LOG,
                                          CLAP_EXT_AUDIO_PORTS,   CLAP_EXT_PARAMS,
                                          CLAP_EXT_STATE,         CLAP_EXT_LATENCY,
                                          CLAP_EXT_TAIL,          CLAP_EXT_GUI,
                                          CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT};
} // namespace

TEST(CLAPTestHost, AnswersExactlyTheOfferedIds) {
    CLAPTestHost full;
    CLAPTestHost validatorLike(CLAPHostExtensions::NoEditor());
    CLAPTestHost scanner(CLAPHostExtensions::None());
    for (const char* id : kAllHostExtensions) {
        EXPECT_NE(Ask<void>(full, id), nullptr) << id;
        EXPECT_EQ(Ask<void>(scanner, id), nullptr) << id;
    }
    for (const char* id : {CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT})
        EXPECT_EQ(Ask<void>(validatorLike, id), nullptr) << id;
    // Neighbours of offered ids: a longer one, the pre-1.0 name, a shorter one.
    for (const char* id : {"clap.state-context/2", "clap.fd-support", "clap.param", ""})
        EXPECT_EQ(Ask<void>(full, id), nullptr) << id;
    EXPECT_EQ(Ask<void>(full, nullptr), nullptr);
}

TEST(CLAPTestHost, RecordsEachCallWithItsArgumentsAnswerAndThread) {
    CLAPTestHost host;
    host.acceptResize = false;
    const clap_host_t* h = host.Host();
    Ask<clap_host_log_t>(host, CLAP_EXT_LOG)->log(h, CLAP_LOG_PLUGIN_MISBEHAVING, "late");
    Ask<clap_host_params_t>(host, CLAP_EXT_PARAMS)->clear(h, 7, CLAP_PARAM_CLEAR_AUTOMATIONS);
    EXPECT_FALSE(Ask<clap_host_gui_t>(host, CLAP_EXT_GUI)->request_resize(h, 300, 200));
    std::thread audio([&] {
        host.DesignateAudioThread(std::this_thread::get_id());
        h->request_callback(h);
    });
    audio.join();
    // A call through a copy of the record reaches the host but is marked.
    const clap_host_t copy = *h;
    copy.request_process(&copy);

    const auto log = host.CallsOf(CLAPHostCallKind::Log);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].first, CLAP_LOG_PLUGIN_MISBEHAVING);
    EXPECT_EQ(log[0].text, "late");
    EXPECT_EQ(log[0].thread, CLAPThreadRole::Main);
    const auto clear = host.CallsOf(CLAPHostCallKind::ParamsClear);
    ASSERT_EQ(clear.size(), 1u);
    EXPECT_EQ(clear[0].first, 7);
    EXPECT_EQ(clear[0].second, CLAP_PARAM_CLEAR_AUTOMATIONS);
    const auto resize = host.CallsOf(CLAPHostCallKind::GuiRequestResize);
    ASSERT_EQ(resize.size(), 1u);
    EXPECT_EQ(resize[0].first, 300);
    EXPECT_EQ(resize[0].second, 200);
    EXPECT_FALSE(resize[0].answer);
    const auto callback = host.CallsOf(CLAPHostCallKind::RequestCallback);
    ASSERT_EQ(callback.size(), 1u);
    EXPECT_EQ(callback[0].thread, CLAPThreadRole::Audio);
    EXPECT_TRUE(host.TakeCallbackRequest());
    EXPECT_FALSE(host.TakeCallbackRequest());
    EXPECT_EQ(host.Count(CLAPHostCallKind::RequestProcess), 1);
    EXPECT_EQ(host.Count(CLAPHostCallKind::Misuse), 1);
}

TEST(CLAPTestHost, ThreadCheckFollowsTheDesignatedThreads) {
    CLAPTestHost host;
    const clap_host_t* h = host.Host();
    const auto* check = Ask<clap_host_thread_check_t>(host, CLAP_EXT_THREAD_CHECK);
    using Parts = std::pair<bool, bool>; // main, audio
    const auto ask = [&] { return Parts{check->is_main_thread(h), check->is_audio_thread(h)}; };
    Parts onAudio, onStranger;
    // The stranger starts while the audio thread lives: an ended thread's id comes back.
    std::thread([&] {
        host.DesignateAudioThread(std::this_thread::get_id());
        onAudio = ask();
        std::thread([&] { onStranger = ask(); }).join();
    }).join();
    EXPECT_EQ(ask(), Parts(true, false));
    EXPECT_EQ(onAudio, Parts(false, true));
    EXPECT_EQ(onStranger, Parts(false, false));
    // The test thread takes the audio part alone, to call an entry from the wrong thread.
    host.DesignateMainThread(std::thread::id());
    host.DesignateAudioThread(std::this_thread::get_id());
    EXPECT_EQ(ask(), Parts(false, true));
}

TEST(CLAPTestHost, KeepsTimersAndFdsAsAHostDoes) {
    CLAPTestHost host;
    const clap_host_t* h = host.Host();
    const auto* timers = Ask<clap_host_timer_support_t>(host, CLAP_EXT_TIMER_SUPPORT);
    const auto* fds = Ask<clap_host_posix_fd_support_t>(host, CLAP_EXT_POSIX_FD_SUPPORT);
    // Numbered from 0, as some hosts do.
    clap_id first = CLAP_INVALID_ID, second = CLAP_INVALID_ID;
    EXPECT_TRUE(timers->register_timer(h, 30, &first));
    EXPECT_TRUE(timers->register_timer(h, 16, &second));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 1u);
    EXPECT_FALSE(timers->register_timer(h, 30, nullptr));
    EXPECT_TRUE(timers->unregister_timer(h, first));
    EXPECT_FALSE(timers->unregister_timer(h, first));
    ASSERT_EQ(host.Timers().size(), 1u);
    EXPECT_EQ(host.Timers()[0].periodMs, 16u);

    EXPECT_TRUE(fds->register_fd(h, 5, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(fds->register_fd(h, 5, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(fds->register_fd(h, -1, CLAP_POSIX_FD_READ));
    EXPECT_FALSE(fds->modify_fd(h, 6, CLAP_POSIX_FD_WRITE));
    EXPECT_TRUE(fds->modify_fd(h, 5, CLAP_POSIX_FD_WRITE));
    ASSERT_EQ(host.Fds().size(), 1u);
    EXPECT_EQ(host.Fds()[0].flags, CLAP_POSIX_FD_WRITE);
    EXPECT_TRUE(fds->unregister_fd(h, 5));
    EXPECT_FALSE(fds->unregister_fd(h, 5));
    EXPECT_EQ(host.Count(CLAPHostCallKind::Misuse), 1);
}

TEST(CLAPInputEvents, HandsOutTheEventsAsAddedAndNullPastTheEnd) {
    auto wrongSpace = CLAPParamValue(3, 2, 0.5);
    wrongSpace.header.space_id = 1;
    auto truncated = CLAPParamValue(4, 2, 0.25);
    truncated.header.size = 24;
    CLAPInputEvents events;
    events.Add(CLAPParamGesture(CLAP_EVENT_PARAM_GESTURE_BEGIN, 0, 2))
        .Add(CLAPParamValue(1, 2, 0.75))
        .Add(wrongSpace)
        .Add(truncated)
        .Add(CLAPEventHeader(CLAP_EVENT_NOTE_ON, 5, 40));
    const clap_input_events_t* list = events.List();
    ASSERT_EQ(list->size(list), 5u);
    const struct {
        uint16_t type, space;
        uint32_t time, size;
    } expected[] = {{CLAP_EVENT_PARAM_GESTURE_BEGIN, 0, 0, 20},
                    {CLAP_EVENT_PARAM_VALUE, 0, 1, sizeof(clap_event_param_value_t)},
                    {CLAP_EVENT_PARAM_VALUE, 1, 3, sizeof(clap_event_param_value_t)},
                    {CLAP_EVENT_PARAM_VALUE, 0, 4, 24},
                    {CLAP_EVENT_NOTE_ON, 0, 5, 40}};
    for (uint32_t i = 0; i < 5; ++i) {
        const clap_event_header_t* header = list->get(list, i);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->type, expected[i].type) << i;
        EXPECT_EQ(header->space_id, expected[i].space) << i;
        EXPECT_EQ(header->time, expected[i].time) << i;
        EXPECT_EQ(header->size, expected[i].size) << i;
        // All of size is there to read, zeros past the record.
        std::vector<unsigned char> bytes(header->size);
        std::memcpy(bytes.data(), header, header->size);
    }
    clap_event_param_value_t value;
    std::memcpy(&value, list->get(list, 1), sizeof(value));
    EXPECT_EQ(value.value, 0.75);
    EXPECT_EQ(value.note_id, -1);
    unsigned char tail[24];
    std::memcpy(tail, reinterpret_cast<const unsigned char*>(list->get(list, 4)) + 16, 24);
    EXPECT_TRUE(std::all_of(std::begin(tail), std::end(tail), [](unsigned char c) { return !c; }));

    EXPECT_EQ(list->get(list, 5), nullptr);
    EXPECT_EQ(list->get(list, UINT32_MAX), nullptr);
    EXPECT_EQ(events.GetsPastEnd(), 2u);
}

TEST(CLAPOutputEvents, KeepsCopiesAndRefusesMalformedOrOverflowingPushes) {
    CLAPOutputEvents events(3);
    const clap_output_events_t* list = events.List();
    {
        auto value = CLAPParamValue(2, 9, 0.5);
        EXPECT_TRUE(list->try_push(list, &value.header));
        value.value = 1.0;
    }
    const clap_event_header_t headerless = CLAPEventHeader(CLAP_EVENT_PARAM_VALUE, 0, 8);
    EXPECT_FALSE(list->try_push(list, &headerless));
    const clap_event_header_t huge = CLAPEventHeader(CLAP_EVENT_PARAM_VALUE, 0, 0xFFFFFFF0u);
    EXPECT_FALSE(list->try_push(list, &huge));
    EXPECT_FALSE(list->try_push(list, nullptr));
    const auto mod = CLAPParamMod(2, 9, 0.25);
    const auto begin = CLAPParamGesture(CLAP_EVENT_PARAM_GESTURE_BEGIN, 3, 9);
    EXPECT_TRUE(list->try_push(list, &mod.header));
    EXPECT_TRUE(list->try_push(list, &begin.header));
    EXPECT_FALSE(list->try_push(list, &begin.header)); // full

    EXPECT_EQ(events.Types(), (std::vector<uint16_t>{CLAP_EVENT_PARAM_VALUE, CLAP_EVENT_PARAM_MOD,
                                                     CLAP_EVENT_PARAM_GESTURE_BEGIN}));
    const auto value = events.As<clap_event_param_value_t>(0, CLAP_EVENT_PARAM_VALUE);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->value, 0.5);
    EXPECT_EQ(value->param_id, 9u);
    // Large enough, but of another type; of the type asked, but too small.
    EXPECT_FALSE(events.As<clap_event_param_value_t>(1, CLAP_EVENT_PARAM_VALUE).has_value());
    EXPECT_FALSE(
        events.As<clap_event_param_value_t>(2, CLAP_EVENT_PARAM_GESTURE_BEGIN).has_value());
    EXPECT_EQ(events.Refused(), 4u);
}

TEST(CLAPStreams, MoveEveryByteThroughAnyPiecesAndFailWherePlanned) {
    std::vector<uint8_t> state(100);
    std::iota(state.begin(), state.end(), uint8_t{1});
    const struct {
        std::vector<uint64_t> pieces;
        uint64_t failAfter;
    } cases[] = {{{}, UINT64_MAX},
                 {CLAPPrimePieces(), UINT64_MAX},
                 {{1}, UINT64_MAX},
                 {CLAPPrimePieces(), 10},
                 {{}, 0}};
    for (const auto& plan : cases) {
        const auto whole =
            static_cast<std::ptrdiff_t>(std::min<uint64_t>(plan.failAfter, state.size()));
        CLAPIStream in(state);
        in.plan.SetPieces(plan.pieces);
        in.plan.FailAfter(plan.failAfter);
        std::vector<uint8_t> read;
        int64_t got = 0;
        uint8_t buffer[64];
        while ((got = in.Stream()->read(in.Stream(), buffer, sizeof(buffer))) > 0)
            read.insert(read.end(), buffer, buffer + got);
        EXPECT_EQ(got, plan.failAfter < state.size() ? -1 : 0) << plan.failAfter;
        EXPECT_EQ(read, std::vector<uint8_t>(state.begin(), state.begin() + whole));

        CLAPOStream out;
        out.plan.SetPieces(plan.pieces);
        out.plan.FailAfter(plan.failAfter);
        uint64_t written = 0;
        while (written < state.size() &&
               (got = out.Stream()->write(out.Stream(), state.data() + written,
                                          state.size() - written)) > 0)
            written += static_cast<uint64_t>(got);
        EXPECT_EQ(out.Bytes(), std::vector<uint8_t>(state.begin(), state.begin() + whole));
    }
}

TEST(CLAPAudioBuffers, GuardsCatchWritesOutsideTheFramesAndSharedPortsAlias) {
    CLAPAudioBuffers<float> in({2, 1}, 16);
    CLAPAudioBuffers<double> wide({2}, 16);
    EXPECT_NE(in.Port(1).data32, nullptr);
    EXPECT_EQ(in.Port(1).data64, nullptr);
    EXPECT_EQ(in.Port(0).channel_count, 2u);
    EXPECT_EQ(wide.Port(0).data32, nullptr);
    EXPECT_EQ(wide.Port(0).data64[1], wide.Channel(0, 1));

    in.Channel(0, 1)[0] = 1.0f;
    in.Channel(0, 1)[15] = 1.0f;
    EXPECT_TRUE(in.GuardsIntact());
    in.Channel(0, 1)[16] = 1.0f;
    EXPECT_FALSE(in.GuardsIntact());
    wide.Channel(0, 0)[-1] = 1.0;
    EXPECT_FALSE(wide.GuardsIntact());

    // In place, with a channel count the shared port did not have.
    CLAPAudioBuffers<float> out({1}, 16);
    out.ShareWith(0, in, 0);
    EXPECT_EQ(out.Port(0).channel_count, 2u);
    EXPECT_EQ(out.Port(0).data32[1], in.Channel(0, 1));
    EXPECT_EQ(out.Channel(0, 0), in.Port(0).data32[0]);
}

TEST(CLAPModule, FindsTheEntryRecordOfAModule) {
    CLAPModule probe(QUELOR_CLAP_PROBE_PATH);
    const clap_plugin_entry_t* entry = probe.Entry();
    ASSERT_NE(entry, nullptr) << probe.Error();
    EXPECT_EQ(entry->clap_version.major, CLAP_VERSION.major);
    EXPECT_EQ(entry->clap_version.minor, CLAP_VERSION.minor);
    EXPECT_EQ(entry->clap_version.revision, CLAP_VERSION.revision);
    EXPECT_TRUE(entry->init(probe.Path().c_str()));
    EXPECT_EQ(entry->get_factory(CLAP_PLUGIN_FACTORY_ID), nullptr);
    entry->deinit();

    CLAPModule missing(std::string(QUELOR_CLAP_PROBE_PATH) + ".missing");
    EXPECT_EQ(missing.Entry(), nullptr);
    EXPECT_NE(missing.Error(), "");
}

// The suites take paths on the build machine, and a release may be unpacked into a folder
// whose name has spaces.
TEST(SharedLibrary, OpensAPathWithSpacesAndFindsOnlyWhatItExports) {
    namespace fs = std::filesystem;
    const std::string built = QUELOR_CLAP_PROBE_PATH;
    const std::string folder = built.substr(0, built.rfind('/')) + "/a folder with spaces";
    const std::string copy = folder + "/probe copy.clap";
    fs::create_directories(SharedLibrary::NativePath(folder));
    fs::copy_file(SharedLibrary::NativePath(built), SharedLibrary::NativePath(copy),
                  fs::copy_options::overwrite_existing);
    SharedLibrary library(copy);
    ASSERT_TRUE(library.IsOpen()) << library.Error();
    EXPECT_NE(library.Symbol("clap_entry"), nullptr);
    EXPECT_EQ(library.Symbol("clap_entry_"), nullptr);
    library.Close();
    EXPECT_EQ(library.Symbol("clap_entry"), nullptr);
    fs::remove_all(SharedLibrary::NativePath(folder));
}
