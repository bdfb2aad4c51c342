#include "platform/SystemRegistry.h"

#include "shell/search/PortSearchRules.h"

#ifdef _WIN32
#include "platform/win/WindowsRegistry.h"
#endif

namespace zelt {

#ifndef _WIN32
namespace {
const QString kSerialComm = QString::fromLatin1(kSerialCommKey);
const QString kLoggerAdapter = QString::fromLatin1(kLoggerAdapterKey);
const QString kGenericAdapter = QString::fromLatin1(kGenericAdapterKey);
}  // namespace
#endif

SystemRegistry::SystemRegistry(std::function<std::vector<SerialDeviceInfo>()> devices)
    : devices_(devices ? std::move(devices) : [] { return listSerialDevices(); })
{
}

#ifdef _WIN32
std::optional<std::vector<RegistryValue>> SystemRegistry::readKey(const QString& keyPath)
{
    win::WindowsRegistry registry;
    const auto entries = registry.readKey(keyPath.toStdU16String());
    if (!entries)
        return std::nullopt;
    std::vector<RegistryValue> values;
    for (const RegistryEntry& e : *entries)
        values.push_back({QString::fromStdU16String(e.name), QString::fromStdU16String(e.data)});
    return values;
}
#else
std::optional<std::vector<RegistryValue>> SystemRegistry::readKey(const QString& keyPath)
{
    const std::vector<SerialDeviceInfo> devices = devices_();
    if (keyPath == kSerialComm) {
        if (devices.empty())
            return std::nullopt;
        std::vector<RegistryValue> values;
        int vcp = 0, other = 0;
        for (const SerialDeviceInfo& d : devices) {
            const bool ftdi = d.registered || d.driver == QLatin1String("ftdi_sio");
            const QString name = ftdi ? QStringLiteral("\\Device\\VCP%1").arg(vcp++)
                                      : QStringLiteral("\\Device\\Serial%1").arg(other++);
            values.push_back({name, d.comName});
        }
        return values;
    }
    if (keyPath == kLoggerAdapter) {
        for (const SerialDeviceInfo& d : devices)
            // The simulated logger stands where the logger's adapter would.
            if (d.registered || isLoggerAdapter(d))
                return std::vector<RegistryValue>{{QStringLiteral("FriendlyName"),
                                                   QStringLiteral("USB Serial Port (%1)").arg(d.comName)}};
        return std::nullopt;
    }
    if (keyPath == kGenericAdapter) {
        for (const SerialDeviceInfo& d : devices)
            if (isGenericAdapter(d))
                return std::vector<RegistryValue>{{QStringLiteral("PortName"), d.comName}};
        return std::nullopt;
    }
    return std::nullopt;
}
#endif

}  // namespace zelt
