#include "frame_output.h"

#include <unistd.h>

namespace ulmar_tools {

std::FILE* takeStandardOutputForFrames() {
    std::fflush(stdout);
    const int frames = dup(STDOUT_FILENO);
    if (frames < 0)
        return nullptr;
    if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        close(frames);
        return nullptr;
    }
    std::FILE* stream = fdopen(frames, "w");
    if (stream == nullptr)
        close(frames);
    return stream;
}

} // namespace ulmar_tools
