#pragma once

// An X server of the tests' own, so that window tests need no display from outside.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// An Xvfb on a display number it picks itself, one per process and kind, stopped at exit.
class XvfbServer {
public:
    explicit XvfbServer(bool sharedMemory) {
        int ready[2];
        if (pipe(ready) != 0)
            std::abort();
        pid = fork();
        if (pid == 0) {
            const std::string fd = std::to_string(ready[1]);
            std::vector<const char*> args = {QUELOR_XVFB_PATH, "-displayfd", fd.c_str(),
                                             "-screen",        "0",          "1600x1200x24",
                                             "-nolisten",      "tcp",        "-noreset"};
            if (!sharedMemory)
                args.insert(args.end(), {"-extension", "MIT-SHM"});
            args.push_back(nullptr);
            // A test that crashes takes its server with it, and leaves no pipe of the
            // test runner's held open.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            execv(QUELOR_XVFB_PATH, const_cast<char* const*>(args.data()));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes its display number once it takes connections.
        pollfd waiting{ready[0], POLLIN, 0};
        char c = 0;
        while (poll(&waiting, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
            name += c;
        close(ready[0]);
        if (name.empty())
            std::abort();
        name = ":" + name;
    }
    ~XvfbServer() {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static const std::string& Name(bool sharedMemory) {
        static XvfbServer withShm(true);
        if (sharedMemory)
            return withShm.name;
        static XvfbServer withoutShm(false);
        return withoutShm.name;
    }

private:
    pid_t pid = -1;
    std::string name;
};
