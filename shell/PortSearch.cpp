#include "shell/PortSearch.h"

#include "platform/PortRegistry.h"

namespace zelt {

const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kLoggerAdapterKey[] = "SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0FE3+PID_6002+00000001A\\0000";
const char kGenericAdapterKey[] =
    "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+FTDI0001A\\0000\\Device Parameters";

namespace {

std::optional<QString> valueOf(const std::vector<RegistryValue>& values, const QString& name)
{
    for (const RegistryValue& v : values)
        if (v.name == name)
            return v.data;
    return std::nullopt;
}

}  // namespace

std::optional<QString> portNameFromFriendlyName(const QString& friendlyName)
{
    const int open = friendlyName.indexOf(QLatin1Char('('));
    if (open < 0)
        return std::nullopt;
    const int close = friendlyName.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0 || close - open - 1 > 6)
        return std::nullopt;
    return friendlyName.mid(open + 1, close - open - 1);
}

int portNumberFromName(const QString& portField)
{
    const QString digits = portField.mid(3, 5);
    int n = 0;
    for (QChar c : digits) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

PortSearchResult searchPorts(RegistryReader& registry, bool includeGeneric)
{
    PortSearchResult r;
    // Every name is looked at, however many there are.
    if (auto values = registry.readKey(QString::fromLatin1(kSerialCommKey))) {
        for (const RegistryValue& v : *values) {
            r.valueNames << v.name;
            if (v.name.contains(QLatin1String("VCP"))) {
                r.anyVcp = true;
                r.vcpPorts << v.data;
            }
        }
    }
    if (!r.anyVcp)
        return r;

    if (auto adapter = registry.readKey(QString::fromLatin1(kLoggerAdapterKey))) {
        r.loggerAdapterKey = true;
        const auto name = portNameFromFriendlyName(valueOf(*adapter, QStringLiteral("FriendlyName")).value_or(QString()));
        if (name) {
            r.loggerPortName = *name;
            if (r.vcpPorts.contains(*name)) {
                r.foundBy = PortSearchResult::LoggerAdapter;
                r.portName = *name;
            }
        }
    }

    if (r.foundBy == PortSearchResult::NotFound && includeGeneric) {
        if (auto generic = registry.readKey(QString::fromLatin1(kGenericAdapterKey))) {
            r.genericAdapterKey = true;
            r.genericPortName = valueOf(*generic, QStringLiteral("PortName")).value_or(QString());
            if (!r.genericPortName.isEmpty() && r.vcpPorts.contains(r.genericPortName)) {
                r.foundBy = PortSearchResult::GenericAdapter;
                r.portName = r.genericPortName;
            }
        }
    }
    return r;
}

}  // namespace zelt
