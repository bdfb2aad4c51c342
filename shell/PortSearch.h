#pragma once
// The port search of the periodic tick, without any widget, in the toolkit's
// strings: which serial ports the system has, which of them are virtual COM
// ports, and whether the logger's own adapter (or, when asked for, a generic
// adapter) is one of them. The rules themselves are plain C++
// (search/PortSearchRules.h), shared with the Windows layer's tests.
#include "shell/search/PortSearchRules.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zelt {

class RegistryReader;

struct PortSearchResult {
    QStringList valueNames;  // value names of the serial-port key, in order
    bool anyVcp = false;     // some name contains "VCP"
    QStringList vcpPorts;    // the port names of the "VCP" names, in order

    bool loggerAdapterKey = false;  // the logger adapter's key exists
    QString loggerPortName;         // its port name, empty when unreadable
    bool genericAdapterKey = false; // the generic key exists (read only when asked for)
    QString genericPortName;

    enum FoundBy {
        NotFound = PortSearchFacts::NotFound,
        LoggerAdapter = PortSearchFacts::LoggerAdapter,
        GenericAdapter = PortSearchFacts::GenericAdapter,
    };
    FoundBy foundBy = NotFound;
    QString portName;  // the port found, "COMn"
};

// Reads the registry as one tick does. The generic adapter's key is read
// only when includeGeneric is set and the logger's own adapter was not found.
PortSearchResult searchPorts(RegistryReader& registry, bool includeGeneric);

// The port name between the first '(' and the next ')' of a FriendlyName;
// nullopt when there is no such part or it is longer than six characters
// (port names run up to COM999).
std::optional<QString> portNameFromFriendlyName(const QString& friendlyName);

// The decimal number at the start of the port field's text from its fourth
// character on (the text after "COM"), at most five characters; 0 without
// digits.
int portNumberFromName(const QString& portField);

}  // namespace zelt
