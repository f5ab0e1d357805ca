// Where virtual adapters announce themselves on Windows.
#include "transport/link/link_directory.h"

#include <cstdlib>

namespace ulmar::link {

std::filesystem::path defaultAdapterDirectory() {
    const char* localAppData = std::getenv("LOCALAPPDATA");
    if (localAppData != nullptr && *localAppData != '\0')
        return std::filesystem::path(localAppData) / "Ulmar";
    return std::filesystem::temp_directory_path() / "Ulmar";
}

bool isPrivateDirectory(const std::filesystem::path&) {
    return true;
}

} // namespace ulmar::link
