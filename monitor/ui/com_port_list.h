#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Serial ports present on the machine, for adapters reached through a serial
// port. Qt-free; used on the window's thread only.

// One device of the system's port class as the enumeration found it.
struct TComPortDevice {
    // Empty when the device's display name could not be read; the manager
    // then reports FriendlyNameError and skips the device.
    std::optional<std::string> FriendlyName;
    std::uint32_t FriendlyNameError = 0;
    // Empty when the device has no readable port name.
    std::optional<std::string> PortName;
};

// The system's device database, behind a seam so that tests can drive the
// list's sorting and filtering.
class TComPortEnumerator {
public:
    virtual ~TComPortEnumerator() = default;
    // Devices of the port class that are present, in the system's order.
    virtual std::vector<TComPortDevice> Enumerate() = 0;
    // Port names that do not begin with this are not serial ports ("COM" on
    // Windows, where printer ports share the class; "/dev/" on Linux).
    virtual std::string PortPrefix() const = 0;
};

// The platform's own enumeration: SetupAPI on Windows, sysfs on Linux.
std::unique_ptr<TComPortEnumerator> MakeSystemComPortEnumerator();

#ifdef __linux__
// The sysfs enumeration over a given tty class directory ("/sys/class/tty").
std::unique_ptr<TComPortEnumerator> MakeSysfsComPortEnumerator(const std::string& ttyClassDir);
#endif

// Port names in increasing order of their number; a name whose number equals
// one already listed is not added.
class TComPortList {
public:
    // The ordering: <0, 0 or >0 like strcmp. Names split into a text part and
    // a trailing decimal number; the text parts compare first (all Windows
    // names share "COM"), then the numbers, so COM2 lists before COM10. Names
    // without a number come after the numbered ones of their text part.
    static int CompareStrings(const std::string& a, const std::string& b);

    // Inserts in order; false (and nothing added) for a duplicate.
    bool Add(const std::string& name);
    void Clear() { FNames.clear(); }
    int Count() const { return static_cast<int>(FNames.size()); }
    const std::string& operator[](int index) const { return FNames[index]; }
    const std::vector<std::string>& Names() const { return FNames; }

private:
    std::vector<std::string> FNames;
};

class TComPortListManager {
public:
    // Uses the system's enumeration unless a test gives its own.
    explicit TComPortListManager(std::unique_ptr<TComPortEnumerator> enumerator = nullptr);

    // Rebuilds the port list from the device database.
    void UpdateList();

    const TComPortList& Ports() const { return FPorts; }

    // Diagnostic lines; unset by default.
    std::function<void(const std::string&)> OnLog;

private:
    void Log(const std::string& line) const;

    TComPortList FPorts;
    std::unique_ptr<TComPortEnumerator> FEnumerator;
};
