// A host that probes, at every call Quelor makes into it, at every window-system call of
// the editor's open, idle and close, and at every allocation of its chunk, block-size and
// event requests, whether the plug-in lock is held, while audio runs on a thread of its own.
// Nothing of this may happen under that lock: the audio thread would wait for it.
#include "LockProbe.h"
#include "PluginModule.h"
#include "QuelorEntry.h"

// gtest before Xlib, whose None and Bool macros break its headers.
#include <gtest/gtest.h>

#include "HostWindow.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 64;

std::atomic<int> gEditsEnded{0};

intptr_t ProbingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    if (LockProbe* probe = LockProbe::Active())
        probe->Check(ProbeSite::HostCall, opcode, "audioMaster");
    switch (opcode) {
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), "Probe Host");
        return 1;
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterProcessEvents:
        return 1;
    case audioMasterEndEdit:
        ++gEditsEnded;
        return 0;
    default:
        return 0;
    }
}

// A dispatcher call whose allocations the probe checks.
intptr_t Watched(const PluginInstance& plug, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                 void* ptr = nullptr, float opt = 0.0f) {
    ProbeScope watch(opcode);
    return plug.Dispatch(opcode, index, value, ptr, opt);
}

intptr_t InEditor(const PluginInstance& plug, ProbeSite phase, int32_t opcode,
                  void* ptr = nullptr) {
    ProbeScope editor(phase);
    return plug.Dispatch(opcode, 0, 0, ptr);
}

// A program chunk as large as hosts may send: the header, every value, and padding behind.
std::vector<uint8_t> LargeProgramChunk(const PluginInstance& plug) {
    uint8_t* data = nullptr;
    const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &data);
    std::vector<uint8_t> chunk(data, data + size);
    chunk.resize(1 << 20, 0x5A);
    return chunk;
}

// The host's requests that allocate: chunks both ways, new block sizes, events back.
void HostRequests(const PluginInstance& plug, std::vector<uint8_t>& largeChunk) {
    for (int32_t index : {0, 1}) {
        uint8_t* data = nullptr;
        const intptr_t size = Watched(plug, effGetChunk, index, 0, &data);
        ASSERT_GT(size, 0);
        std::vector<uint8_t> copy(data, data + size);
        EXPECT_EQ(Watched(plug, effSetChunk, index, size, copy.data()), 1);
    }
    EXPECT_EQ(
        Watched(plug, effSetChunk, 1, static_cast<intptr_t>(largeChunk.size()), largeChunk.data()),
        1);
    for (intptr_t size : {32, 4096, kBlock})
        Watched(plug, effSetBlockSize, 0, size);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    std::memcpy(note.midiData, "\x90\x3C\x64", 3);
    VstEvent other{};
    other.type = 6;
    other.byteSize = sizeof other;
    VstEvents events{2, 0, {reinterpret_cast<VstEvent*>(&note), &other}};
    EXPECT_EQ(Watched(plug, effProcessEvents, 0, 0, &events), 1);
}

std::string Describe(const ProbeHit& hit) {
    const char* sites[] = {"host call", "editor open", "editor idle", "editor close", "allocation"};
    return std::string(hit.what) + " (" + sites[static_cast<int>(hit.site)] + ", " +
           std::to_string(hit.detail) + ")";
}

} // namespace

TEST(ProbeHost, NothingThatCanWaitHappensUnderThePluginLock) {
    gEditsEnded = 0;
    PluginInstance plug(&QuelorPluginMain, &ProbingHost);
    HostWindow parent;
    ASSERT_TRUE(parent.Usable()) << "an X display is needed (xvfb-run)";
    std::vector<uint8_t> largeChunk = LargeProgramChunk(plug);
    std::vector<ProbeHit> hits;
    {
        LockProbe probe(IEffectVST::FromRecord(plug.Record())->Effect().Lock());
        Watched(plug, effOpen);
        Watched(plug, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        Watched(plug, effSetBlockSize, 0, kBlock);
        Watched(plug, effMainsChanged, 0, 1);
        AudioThread audio(plug, kBlock, std::chrono::microseconds(200));
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_EQ(InEditor(plug, ProbeSite::EditorOpen, effEditOpen, parent.Handle()), 1);
            // The threshold knob, dragged up while the host's other requests come in.
            ASSERT_TRUE(parent.DragInEditor(54, 214, 54, 180));
            for (int idle = 0; idle < 1000 && gEditsEnded <= cycle; ++idle) {
                InEditor(plug, ProbeSite::EditorIdle, effEditIdle);
                if (idle == 0)
                    HostRequests(plug, largeChunk);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            EXPECT_EQ(gEditsEnded, cycle + 1) << "the drag reached the editor";
            InEditor(plug, ProbeSite::EditorIdle, effEditIdle);
            InEditor(plug, ProbeSite::EditorClose, effEditClose);
        }
        audio.Stop();
        hits = probe.Hits();
    }

    for (const ProbeHit& hit : hits)
        EXPECT_FALSE(hit.held) << Describe(hit) << " under the plug-in lock";
    std::set<int32_t> hostCalls;
    std::set<ProbeSite> sites;
    std::set<int32_t> allocating;
    for (const ProbeHit& hit : hits) {
        sites.insert(hit.site);
        if (hit.site == ProbeSite::HostCall)
            hostCalls.insert(hit.detail);
        if (hit.site == ProbeSite::Allocation)
            allocating.insert(hit.detail);
    }
    // Every call Quelor makes into a host, and every kind of site, was seen.
    EXPECT_EQ(hostCalls,
              (std::set<int32_t>{audioMasterAutomate, audioMasterProcessEvents,
                                 audioMasterGetProductString, audioMasterGetVendorVersion,
                                 audioMasterBeginEdit, audioMasterEndEdit}));
    for (ProbeSite site : {ProbeSite::EditorOpen, ProbeSite::EditorIdle, ProbeSite::EditorClose})
        EXPECT_TRUE(sites.count(site))
            << "no window call seen in editor phase " << static_cast<int>(site);
    if (AllocationsWatched()) {
        for (int32_t opcode : {effSetBlockSize, effGetChunk, effSetChunk})
            EXPECT_TRUE(allocating.count(opcode)) << "no allocation seen in opcode " << opcode;
    }
}
