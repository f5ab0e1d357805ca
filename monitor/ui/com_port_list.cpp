#include "com_port_list.h"

#include <algorithm>

namespace {

struct TPortKey {
    std::string Text;
    std::optional<std::uint64_t> Number;
};

// "COM12" -> {"COM", 12}; "/dev/ttyUSB0" -> {"/dev/ttyUSB", 0}; "COMx" -> {"COMx", none}.
// Overlong digit runs keep no number, so they cannot overflow.
TPortKey SplitName(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    TPortKey key{name.substr(0, digits), std::nullopt};
    const std::string tail = name.substr(digits);
    if (!tail.empty() && tail.size() <= 18)
        key.Number = std::stoull(tail);
    else
        key.Text = name;
    return key;
}

} // namespace

int TComPortList::CompareStrings(const std::string& a, const std::string& b) {
    const TPortKey ka = SplitName(a);
    const TPortKey kb = SplitName(b);
    if (const int text = ka.Text.compare(kb.Text); text != 0)
        return text < 0 ? -1 : 1;
    if (ka.Number && kb.Number)
        return *ka.Number < *kb.Number ? -1 : (*ka.Number > *kb.Number ? 1 : 0);
    if (ka.Number != kb.Number)
        return ka.Number ? -1 : 1;
    return 0;
}

bool TComPortList::Add(const std::string& name) {
    const auto at = std::lower_bound(FNames.begin(), FNames.end(), name,
                                     [](const std::string& listed, const std::string& key) {
                                         return CompareStrings(listed, key) < 0;
                                     });
    if (at != FNames.end() && CompareStrings(*at, name) == 0)
        return false;
    FNames.insert(at, name);
    return true;
}

TComPortListManager::TComPortListManager(std::unique_ptr<TComPortEnumerator> enumerator)
    : FEnumerator(enumerator ? std::move(enumerator) : MakeSystemComPortEnumerator()) {}

void TComPortListManager::Log(const std::string& line) const {
    if (OnLog)
        OnLog(line);
}

void TComPortListManager::UpdateList() {
    Log("TComPortListManager.UpdateList");
    FPorts.Clear();
    const std::string prefix = FEnumerator->PortPrefix();
    for (const TComPortDevice& device : FEnumerator->Enumerate()) {
        if (!device.FriendlyName) {
            Log("Error of getting friendly name. Error = " +
                std::to_string(device.FriendlyNameError));
            continue;
        }
        Log("Friendly name: " + *device.FriendlyName);
        if (!device.PortName)
            continue;
        Log("PortName: " + *device.PortName);
        if (device.PortName->compare(0, prefix.size(), prefix) == 0)
            FPorts.Add(*device.PortName);
    }
}
