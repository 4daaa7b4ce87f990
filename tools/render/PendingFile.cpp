#include "PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {
// The temporary files of the renders under way, for the signal handler: fixed storage,
// since the handler may neither allocate nor follow pointers that another thread frees.
// Enough for every job that --jobs allows at once, with its JSON, picture and program file.
constexpr int kSlots = 1024 + 8;
enum SlotState : int { kFree, kFilling, kLive };
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
std::array<Slot, kSlots> slots;

int Claim(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kFilling)) {
            path.copy(slots[i].path, path.size());
            slots[i].path[path.size()] = '\0';
            slots[i].state.store(kLive, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Release(int slot) {
    if (slot >= 0)
        slots[static_cast<std::size_t>(slot)].state.store(kFree, std::memory_order_release);
}

extern "C" void RemoveAndExit(int signal) {
    for (Slot& s : slots)
        if (s.state.load(std::memory_order_acquire) == kLive)
            unlink(s.path);
    _exit(128 + signal);
}

// The mode a new file gets from open(): read by the first call, from the main thread,
// since reading it means setting it.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::string Reason(int error, const std::filesystem::path& folder) {
    if (error == ENOENT)
        return "the folder " + folder.string() + " does not exist";
    return std::strerror(error);
}
} // namespace

std::unique_ptr<PendingFile> PendingFile::Create(const std::string& destination,
                                                 std::string* error) {
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::file_status status = fs::status(destination, failed);
    if (destination == "-" || (fs::exists(status) && !fs::is_regular_file(status))) {
        if (fs::is_directory(status)) {
            *error = "cannot write " + destination + ": it is a folder";
            return nullptr;
        }
        return std::unique_ptr<PendingFile>(new PendingFile(destination, destination, -1));
    }
    fs::path target = destination;
    if (fs::is_symlink(fs::symlink_status(destination, failed)))
        target = fs::weakly_canonical(destination, failed);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = target.filename().string();
    name.insert(0, 1, '.');
    name.append(".quelor-XXXXXX");
    std::string pattern = (folder / name).string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) {
        *error = "cannot write " + destination + ": " + Reason(errno, folder);
        return nullptr;
    }
    struct stat existing {};
    fchmod(descriptor,
           stat(target.c_str(), &existing) == 0 ? existing.st_mode & 07777 : NewFileMode());
    close(descriptor);
    const int slot = Claim(pattern);
    if (slot < 0) {
        unlink(pattern.c_str());
        *error = "cannot write " + destination + ": too many files at once";
        return nullptr;
    }
    return std::unique_ptr<PendingFile>(new PendingFile(target.string(), pattern, slot));
}

PendingFile::PendingFile(std::string finalPath, std::string writePath, int tableSlot)
    : destination(std::move(finalPath)), path(std::move(writePath)), slot(tableSlot) {}

PendingFile::~PendingFile() {
    if (slot < 0)
        return;
    unlink(path.c_str());
    Release(slot);
}

bool PendingFile::Commit(std::string* error) {
    if (slot < 0)
        return true;
    if (std::rename(path.c_str(), destination.c_str()) != 0) {
        *error = "cannot put " + destination + " in place: " + std::strerror(errno);
        return false;
    }
    Release(slot);
    slot = -1;
    return true;
}

std::string PendingFile::Named(std::string message) const {
    if (path != destination)
        for (std::size_t at; (at = message.find(path)) != std::string::npos;)
            message.replace(at, path.size(), destination);
    return message;
}

void RemovePendingFilesOnSignal() {
    NewFileMode();
    struct sigaction action {};
    action.sa_handler = RemoveAndExit;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool WriteText(PendingFile& file, const std::string& text, std::string* error) {
    const bool toStdout = file.Path() == "-";
    std::FILE* out = toStdout ? stdout : std::fopen(file.Path().c_str(), "wb");
    const std::string shown = toStdout ? "standard output" : file.Destination();
    if (!out) {
        *error = "cannot write " + shown + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const int reason = errno;
    const bool closed = toStdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
    if (!written || !closed) {
        *error = "cannot write " + shown + ": " + std::strerror(written ? errno : reason);
        return false;
    }
    return file.Commit(error);
}
