#include "transport/windows/device_classes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace ulmar {

namespace {

constexpr char kKeyTemplate[] = "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\DEVICECLASSES\\"
                                "{%4.2x-%2.2x-%2.2x-%.2x%.2x-%.2x%.2x%.2x%.2x%.2x%.2x}\\%s";

} // namespace

std::string RegistryFormOfPath(const std::string& path) {
    std::string form = path;
    for (std::size_t i : {0u, 1u, 3u}) {
        if (i < form.size()) {
            form[i] = '#';
        }
    }
    return form;
}

std::string DeviceClassKey(const GUID& c, const std::string& registryPath) {
    const auto format = [&](char* out, std::size_t size) {
        return std::snprintf(out, size, kKeyTemplate, static_cast<unsigned>(c.Data1),
                             static_cast<unsigned>(c.Data2), static_cast<unsigned>(c.Data3),
                             c.Data4[0], c.Data4[1], c.Data4[2], c.Data4[3], c.Data4[4], c.Data4[5],
                             c.Data4[6], c.Data4[7], registryPath.c_str());
    };
    std::vector<char> key(static_cast<std::size_t>(format(nullptr, 0)) + 1);
    format(key.data(), key.size());
    return key.data();
}

bool MatchesAdapter(const std::string& deviceInstance) {
    std::string lower = deviceInstance;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(kVendorProductPattern) != std::string::npos;
}

std::string EndpointName(int endpoint) {
    return "\\MCHP_EP" + std::to_string(endpoint);
}

} // namespace ulmar
