#include "shell/search/PortSearchRules.h"

#include <algorithm>

namespace zelt {

const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kLoggerAdapterKey[] = "SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0FE3+PID_6002+00000001A\\0000";
const char kGenericAdapterKey[] =
    "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+FTDI0001A\\0000\\Device Parameters";

namespace {

// The key paths are ASCII.
std::u16string widened(const char* ascii)
{
    return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::optional<std::u16string> valueOf(const std::vector<RegistryEntry>& values, const std::u16string& name)
{
    for (const RegistryEntry& v : values)
        if (v.name == name)
            return v.data;
    return std::nullopt;
}

bool listed(const std::vector<std::u16string>& ports, const std::u16string& port)
{
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

}  // namespace

std::optional<std::u16string> portNameInFriendlyName(const std::u16string& friendlyName)
{
    const size_t open = friendlyName.find(u'(');
    if (open == std::u16string::npos)
        return std::nullopt;
    const size_t close = friendlyName.find(u')', open + 1);
    if (close == std::u16string::npos || close - open - 1 > 6)
        return std::nullopt;
    return friendlyName.substr(open + 1, close - open - 1);
}

PortSearchFacts searchPortKeys(RegistryKeys& registry, bool includeGeneric)
{
    PortSearchFacts r;
    // Every name is looked at, however many there are.
    if (auto values = registry.readKey(widened(kSerialCommKey))) {
        for (const RegistryEntry& v : *values) {
            r.valueNames.push_back(v.name);
            if (v.name.find(u"VCP") != std::u16string::npos) {
                r.anyVcp = true;
                r.vcpPorts.push_back(v.data);
            }
        }
    }
    if (!r.anyVcp)
        return r;

    if (auto adapter = registry.readKey(widened(kLoggerAdapterKey))) {
        r.loggerAdapterKey = true;
        const auto name = portNameInFriendlyName(valueOf(*adapter, u"FriendlyName").value_or(std::u16string()));
        if (name) {
            r.loggerPortName = *name;
            if (listed(r.vcpPorts, *name)) {
                r.foundBy = PortSearchFacts::LoggerAdapter;
                r.portName = *name;
            }
        }
    }

    if (r.foundBy == PortSearchFacts::NotFound && includeGeneric) {
        if (auto generic = registry.readKey(widened(kGenericAdapterKey))) {
            r.genericAdapterKey = true;
            r.genericPortName = valueOf(*generic, u"PortName").value_or(std::u16string());
            if (!r.genericPortName.empty() && listed(r.vcpPorts, r.genericPortName)) {
                r.foundBy = PortSearchFacts::GenericAdapter;
                r.portName = r.genericPortName;
            }
        }
    }
    return r;
}

}  // namespace zelt
