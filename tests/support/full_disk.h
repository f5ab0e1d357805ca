#pragma once

#include <csignal>
#include <sys/resource.h>

namespace tessel::test {

// A full disk while it lives: no file of this process grows beyond `room`
// bytes. SIGXFSZ is ignored meanwhile, so writes fail with EFBIG instead of
// ending the process. Works for root too, unlike permissions.
class FullDisk {
public:
    explicit FullDisk(rlim_t room = 0) {
        FActive = getrlimit(RLIMIT_FSIZE, &FSaved) == 0;
        FPreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = FSaved;
        full.rlim_cur = room;
        FActive = FActive && setrlimit(RLIMIT_FSIZE, &full) == 0;
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FPreviousHandler);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // Whether the limit is in force.
    bool Active() const { return FActive; }

private:
    rlimit FSaved{};
    void (*FPreviousHandler)(int) = nullptr;
    bool FActive = false;
};

} // namespace tessel::test
