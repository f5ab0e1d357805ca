#include "platform/settings_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/executable_dir.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

namespace fs = std::filesystem;

const char* const kConfigFolder = "tessel";

// The folder's path with links resolved as far as it exists, without a
// trailing separator.
fs::path NormalDir(const std::string& dir) {
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::path(dir), error);
    if (error)
        path = fs::path(dir);
    path = path.lexically_normal();
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    return path;
}

std::string WithSeparator(std::string dir) {
    const char separator = static_cast<char>(fs::path::preferred_separator);
    if (!dir.empty() && dir.back() != separator)
        dir += separator;
    return dir;
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeDir() {
    std::string home = EnvironmentValue("HOME");
#ifndef _WIN32
    if (home.empty())
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
#endif
    return home;
}

// Creates the folder and its missing parents, each readable by its owner only.
void CreatePrivateDir(const std::string& dir) {
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path path = NormalDir(dir); !path.empty() && !fs::exists(path, error);
         path = path.parent_path()) {
        missing.push_back(path);
        if (path == path.root_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, error))
            return;
        fs::permissions(*it, fs::perms::owner_all, error);
    }
}

bool IsSameDir(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty())
        return false;
    return NormalDir(first) == NormalDir(second);
}

} // namespace

bool RunsInstalled(const TSettingsPlace& place) {
    return IsSameDir(place.ExecutableDir, place.InstalledBinDir);
}

TSettingsPlace CurrentPlace() {
    TSettingsPlace place;
    place.ExecutableDir = ExecutableDir();
#ifdef TESSEL_INSTALL_BINDIR
    place.InstalledBinDir = TESSEL_INSTALL_BINDIR;
#endif
    place.ConfigHome = EnvironmentValue("XDG_CONFIG_HOME");
    place.HomeDir = HomeDir();
    return place;
}

std::string SettingsDir(const TSettingsPlace& place) {
    if (!RunsInstalled(place))
        return WithSeparator(place.ExecutableDir);
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    fs::path base(place.ConfigHome);
    if (!base.is_absolute())
        base = fs::path(place.HomeDir) / ".config";
    const std::string dir = WithSeparator((base / kConfigFolder).string());
    CreatePrivateDir(dir);
    return dir;
}

std::string SettingsDir() {
    return SettingsDir(CurrentPlace());
}

} // namespace platform
