#pragma once

#include <memory>
#include <string>

// An output written under a temporary name in its destination's folder and renamed over
// the destination only when complete: a file already of that name stays as it was until
// then, and a failure, SIGINT, SIGTERM or SIGHUP before it removes the temporary file.
// Destinations that are no regular file ("-", devices, pipes) are written directly.
class PendingFile {
public:
    // Creates the temporary file, so that a folder that is missing or cannot be written is
    // found before any work; null with the reason in error. A link as destination is
    // followed: the file it names is the one replaced.
    static std::unique_ptr<PendingFile> Create(const std::string& destination, std::string* error);
    // Removes the temporary file unless committed.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Where to write: the temporary file, or the destination itself where it is written
    // directly.
    const std::string& Path() const { return path; }
    const std::string& Destination() const { return destination; }
    // Puts the complete file in place; false with the system's reason.
    bool Commit(std::string* error);
    // message with the temporary file's name replaced by the destination's, which is the
    // one the user gave.
    std::string Named(std::string message) const;

private:
    PendingFile(std::string destination, std::string path, int slot);

    std::string destination;
    std::string path;
    int slot; // in the table the signal handler reads, or -1 when written directly
};

// Handlers for SIGINT, SIGTERM and SIGHUP that remove every pending temporary file and end
// the process with 128 + the signal's number. Call once, before any thread starts.
void RemovePendingFilesOnSignal();

// Writes text into file ("-" is standard output) and puts it in place; false with a reason.
bool WriteText(PendingFile& file, const std::string& text, std::string* error);
