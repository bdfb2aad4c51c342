#pragma once
// The registry as the port search reads it, in plain C++ (no toolkit types):
// the values of a key under HKEY_LOCAL_MACHINE, by the key's path. Texts are
// UTF-16, the registry's own encoding, so nothing is lost on the way from the
// Windows registry reader or to the toolkit's strings.
#include <optional>
#include <string>
#include <vector>

namespace zelt {

struct RegistryEntry {
    std::u16string name;
    std::u16string data;  // the text of a string value; empty for other types
};

class RegistryKeys {
public:
    virtual ~RegistryKeys() = default;
    // The values of the key in their stored order; nullopt when the key does
    // not exist (a missing key is not an error).
    virtual std::optional<std::vector<RegistryEntry>> readKey(const std::u16string& keyPath) = 0;
};

}  // namespace zelt
