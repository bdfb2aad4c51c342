#pragma once
// What the tool remembers between runs (the graph's unit, ...), as text
// under a key. The real store is the user's settings file; tests use one in
// memory.
#include <QString>
#include <map>
#include <memory>

class QSettings;

namespace zelt {

class Preferences {
public:
    virtual ~Preferences() = default;
    virtual QString value(const QString& key, const QString& fallback = QString()) const = 0;
    virtual void setValue(const QString& key, const QString& value) = 0;
};

class MemoryPreferences : public Preferences {
public:
    std::map<QString, QString> values;
    QString value(const QString& key, const QString& fallback) const override
    {
        const auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    void setValue(const QString& key, const QString& value) override { values[key] = value; }
};

// The user's settings file of the tool ("zelt-view.conf" in the desktop's
// configuration folder).
class SystemPreferences : public Preferences {
public:
    SystemPreferences();
    ~SystemPreferences() override;
    QString value(const QString& key, const QString& fallback) const override;
    void setValue(const QString& key, const QString& value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace zelt
