// The glibc floor's own definitions where the kernel falls short: a seccomp filter makes
// getrandom fail with ENOSYS, as on a kernel before 3.17, in a child process of its own.
#include <gtest/gtest.h>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {
// From here on, in this process, every getrandom fails as the system call is missing.
bool RefuseGetrandom() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_getrandom, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The child's exit status: 0 when arc4random still answers, and not always the same.
int Arc4randomWithoutGetrandom() {
    uint32_t probe = 0;
    if (!RefuseGetrandom() || getrandom(&probe, sizeof probe, 0) != -1 || errno != ENOSYS)
        return 2;
    const uint32_t first = arc4random();
    for (int i = 0; i < 8; ++i)
        if (arc4random() != first)
            return 0;
    return 3;
}

TEST(GlibcFloor, Arc4randomReadsDevUrandomWhereTheKernelHasNoGetrandom) {
    EXPECT_EXIT(std::exit(Arc4randomWithoutGetrandom()), ::testing::ExitedWithCode(0), "");
}
} // namespace
