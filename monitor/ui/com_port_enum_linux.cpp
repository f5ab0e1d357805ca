#ifdef __linux__

#include "com_port_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Lists the tty class of sysfs. Only entries backed by a device are serial
// hardware (virtual consoles and pseudo terminals have no "device" link);
// legacy 8250 slots report UART type 0 when no chip answers and are skipped.
class TSysfsComPortEnumerator : public TComPortEnumerator {
public:
    explicit TSysfsComPortEnumerator(fs::path root) : FRoot(std::move(root)) {}

    std::vector<TComPortDevice> Enumerate() override {
        std::vector<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(FRoot, error), end; !error && it != end; it.increment(error))
            names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());

        std::vector<TComPortDevice> devices;
        for (const std::string& name : names) {
            const fs::path entry = FRoot / name;
            if (!fs::exists(entry / "device", error))
                continue;
            const std::string driver =
                fs::read_symlink(entry / "device" / "driver", error).filename().string();
            if (driver == "serial8250" && ReadFirstLine(entry / "type") == "0")
                continue;
            TComPortDevice device;
            device.FriendlyName = driver.empty() ? name : name + " (" + driver + ")";
            device.PortName = "/dev/" + name;
            devices.push_back(std::move(device));
        }
        return devices;
    }

    std::string PortPrefix() const override { return "/dev/"; }

private:
    fs::path FRoot;
};

} // namespace

std::unique_ptr<TComPortEnumerator> MakeSysfsComPortEnumerator(const std::string& ttyClassDir) {
    return std::make_unique<TSysfsComPortEnumerator>(ttyClassDir);
}

std::unique_ptr<TComPortEnumerator> MakeSystemComPortEnumerator() {
    return MakeSysfsComPortEnumerator("/sys/class/tty");
}

#endif
