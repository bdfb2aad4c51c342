#include "shell/PortSearch.h"

#include "platform/PortRegistry.h"

namespace zelt {

namespace {

QStringList toStringList(const std::vector<std::u16string>& texts)
{
    QStringList list;
    for (const std::u16string& t : texts)
        list << QString::fromStdU16String(t);
    return list;
}

// The toolkit-typed registry reader seen through the plain interface of the
// search rules.
class PlainKeys : public RegistryKeys {
public:
    explicit PlainKeys(RegistryReader& reader) : reader_(reader) {}

    std::optional<std::vector<RegistryEntry>> readKey(const std::u16string& keyPath) override
    {
        const auto values = reader_.readKey(QString::fromStdU16String(keyPath));
        if (!values)
            return std::nullopt;
        std::vector<RegistryEntry> entries;
        for (const RegistryValue& v : *values)
            entries.push_back({v.name.toStdU16String(), v.data.toStdU16String()});
        return entries;
    }

private:
    RegistryReader& reader_;
};

}  // namespace

std::optional<QString> portNameFromFriendlyName(const QString& friendlyName)
{
    const auto name = portNameInFriendlyName(friendlyName.toStdU16String());
    if (!name)
        return std::nullopt;
    return QString::fromStdU16String(*name);
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
    PlainKeys keys(registry);
    const PortSearchFacts facts = searchPortKeys(keys, includeGeneric);
    PortSearchResult r;
    r.valueNames = toStringList(facts.valueNames);
    r.anyVcp = facts.anyVcp;
    r.vcpPorts = toStringList(facts.vcpPorts);
    r.loggerAdapterKey = facts.loggerAdapterKey;
    r.loggerPortName = QString::fromStdU16String(facts.loggerPortName);
    r.genericAdapterKey = facts.genericAdapterKey;
    r.genericPortName = QString::fromStdU16String(facts.genericPortName);
    r.foundBy = static_cast<PortSearchResult::FoundBy>(facts.foundBy);
    r.portName = QString::fromStdU16String(facts.portName);
    return r;
}

}  // namespace zelt
