#include "ThreadCheck.h"

#include "FatalAssert.h"

#include <cstdio>

namespace {
// In the order of Misuse.
constexpr const char* kMisuseTexts[] = {
    "called on the wrong thread", "called before init",          "called while inactive",
    "called while active",        "called while not processing", "called while processing",
};
static_assert(std::size(kMisuseTexts) == static_cast<std::size_t>(Misuse::kCount));

constexpr std::size_t kMessageSize = 160;

const char* Describe(char (&message)[kMessageSize], const char* name, Misuse misuse,
                     uint32_t times) {
    const char* text = kMisuseTexts[static_cast<int>(misuse)];
    if (times == 1)
        std::snprintf(message, kMessageSize, "Quelor: %s refused: %s", name, text);
    else
        std::snprintf(message, kMessageSize, "Quelor: %s refused %u times: %s", name, times, text);
    return message;
}
} // namespace

ThreadCheck::ThreadCheck(std::span<const TaggedEntry> list, ThreadOracle& oracle)
    : entries(list), threads(oracle),
      counted(std::make_unique<std::atomic<uint32_t>[]>(list.size() * kMisuses)) {}

bool ThreadCheck::OnTaggedThread(int entry, bool active) const {
    switch (entries[static_cast<std::size_t>(entry)].tag) {
    case ThreadTag::kMain:
        return threads.IsMainThread();
    case ThreadTag::kAudio:
        return threads.IsAudioThread();
    case ThreadTag::kAudioWhileActive:
        return active ? threads.IsAudioThread() : threads.IsMainThread();
    case ThreadTag::kMainOrAudio:
        return threads.IsMainThread() || threads.IsAudioThread();
    }
    return false;
}

void ThreadCheck::Refuse(int entry, Misuse misuse) {
    const char* name = entries[static_cast<std::size_t>(entry)].name;
    char message[kMessageSize];
    QUELOR_DEBUG_FAIL(Describe(message, name, misuse, 1));
    if (threads.MayLogNow()) {
        threads.Log(Describe(message, name, misuse, 1));
        return;
    }
    Count(entry, misuse).fetch_add(1, std::memory_order_relaxed);
    // Before init the host may not be called at all; the count waits for a later refusal.
    if (hostReady.load() && !callbackAsked.exchange(true) && !threads.AskForMainThread())
        callbackAsked.store(false);
}

void ThreadCheck::LogCounted() {
    callbackAsked.store(false);
    for (std::size_t entry = 0; entry < entries.size(); ++entry)
        for (int misuse = 0; misuse < kMisuses; ++misuse) {
            const uint32_t times = Count(static_cast<int>(entry), static_cast<Misuse>(misuse))
                                       .exchange(0, std::memory_order_relaxed);
            if (times == 0)
                continue;
            char message[kMessageSize];
            threads.Log(Describe(message, entries[entry].name, static_cast<Misuse>(misuse), times));
        }
}
