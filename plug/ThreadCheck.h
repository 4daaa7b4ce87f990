#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>

// The thread an entry of a format belongs to, as the format's rules tag it.
enum class ThreadTag : uint8_t {
    kMain,
    kAudio,
    kAudioWhileActive, // the audio thread while active, the main thread otherwise
    kMainOrAudio
};

// One entry a host may call: its name in messages, and its tag.
struct TaggedEntry {
    const char* name;
    ThreadTag tag;
};

// Which rule of its format a refused call broke.
enum class Misuse : uint8_t {
    kWrongThread,
    kNotInitialized,
    kInactive,
    kActive,
    kNotProcessing,
    kProcessing,
    kCount
};

// What a format can tell of its host's threads and where it reports a refusal.
class ThreadOracle {
public:
    virtual ~ThreadOracle() = default;
    // Thread-safe. Without the host's word, the main thread is the one that made the
    // plug-in, and every thread may be the audio thread.
    virtual bool IsMainThread() const = 0;
    virtual bool IsAudioThread() const { return true; }
    // True when the calling thread may write to the host's log now: a thread the host
    // calls its main thread, and no audio thread.
    virtual bool MayLogNow() const { return false; }
    // Main thread: a message for the host's log, where it has one.
    virtual void Log(const char* message) const = 0;
    // Any thread: asks the host to call back on its main thread, where LogCounted writes
    // what was refused meanwhile. Answers false where it cannot.
    virtual bool AskForMainThread() { return false; }
};

// Checks every entry of a format against its thread tag, and reports the calls refused.
// Builds with assertions stop at a host's first misuse. Refusals are logged at once where
// the host allows it; elsewhere they are counted without waiting and written later on
// the main thread.
class ThreadCheck {
public:
    // entries and oracle outlive the check.
    ThreadCheck(std::span<const TaggedEntry> entries, ThreadOracle& oracle);

    // Thread-safe.
    bool OnTaggedThread(int entry, bool active) const;
    // Any thread, never blocking.
    void Refuse(int entry, Misuse misuse);
    // Main thread: writes the refusals counted elsewhere to the log.
    void LogCounted();
    // The host may be called from now on (a format's init has run).
    void HostReady() { hostReady.store(true); }

private:
    static constexpr int kMisuses = static_cast<int>(Misuse::kCount);
    std::atomic<uint32_t>& Count(int entry, Misuse misuse) {
        return counted[static_cast<std::size_t>(entry * kMisuses + static_cast<int>(misuse))];
    }

    std::span<const TaggedEntry> entries;
    ThreadOracle& threads;
    std::unique_ptr<std::atomic<uint32_t>[]> counted;
    std::atomic<bool> hostReady{false};
    std::atomic<bool> callbackAsked{false};
};

// The thread that made it, as the main thread where a host does not say.
class CreatingThread {
public:
    bool IsCurrent() const { return std::this_thread::get_id() == creator; }

private:
    std::thread::id creator = std::this_thread::get_id();
};
