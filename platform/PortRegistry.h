#pragma once
// The system registry questions of the port search, read-only, under
// HKEY_LOCAL_MACHINE: the values of a key by its path. Each platform answers
// them with its own facility; MemoryRegistry lets a test set up any content.
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

namespace zelt {

struct RegistryValue {
    QString name;
    QString data;
};

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // The values of the key in their stored order; nullopt when the key does
    // not exist (a missing key is not an error).
    virtual std::optional<std::vector<RegistryValue>> readKey(const QString& keyPath) = 0;
};

// Registry content set up by a test; records every key that was read.
class MemoryRegistry : public RegistryReader {
public:
    std::map<QString, std::vector<RegistryValue>> keys;
    QStringList reads;

    std::optional<std::vector<RegistryValue>> readKey(const QString& keyPath) override
    {
        reads << keyPath;
        auto it = keys.find(keyPath);
        if (it == keys.end())
            return std::nullopt;
        return it->second;
    }
};

}  // namespace zelt
