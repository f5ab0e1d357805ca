#pragma once

#include <string>

namespace platform {

// Where the monitor keeps its settings file and transmit lists.
//
// A monitor started from the folder it was installed to (the bin folder of
// the prefix it was built for) keeps them per user, in
// $XDG_CONFIG_HOME/tessel/ (~/.config/tessel/ when that variable is unset or
// not an absolute path). A monitor started from anywhere else, such as a
// build tree or an unpacked copy, keeps them beside its executable, so that
// such a copy stays portable.

// What the choice depends on.
struct TSettingsPlace {
    std::string ExecutableDir;   // the program's folder
    std::string InstalledBinDir; // the folder it is installed to; empty: none
    std::string ConfigHome;      // $XDG_CONFIG_HOME, possibly empty
    std::string HomeDir;         // the user's home folder
};

// True when the program runs from the folder it was installed to. Symbolic
// links, "." and ".." and trailing separators do not count.
bool RunsInstalled(const TSettingsPlace& place);

// The running program's place: its executable's folder, the bin folder of
// the prefix it was built for, and the user's folders.
TSettingsPlace CurrentPlace();

// The folder for the settings and transmit lists, with its trailing
// separator. A per-user folder that is missing is created, with its missing
// parents, readable by its owner only; if that fails, the files' own writes
// report the failure later.
std::string SettingsDir(const TSettingsPlace& place);
std::string SettingsDir(); // of CurrentPlace()

} // namespace platform
