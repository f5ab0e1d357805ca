#include "transport/link/link_directory.h"

#include <cstdlib>

namespace ulmar::link {

std::filesystem::path adapterDirectory() {
    const char* configured = std::getenv("ULMAR_DEVICE_DIR");
    if (configured != nullptr && *configured != '\0')
        return configured;
    return defaultAdapterDirectory();
}

} // namespace ulmar::link
