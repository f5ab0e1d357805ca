#include "transport/link/link_directory.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace ulmar::link {

std::filesystem::path defaultAdapterDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0')
        return std::filesystem::path(runtime) / "ulmar";
    return "/tmp/ulmar-" + std::to_string(::getuid());
}

} // namespace ulmar::link
