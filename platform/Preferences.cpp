#include "platform/Preferences.h"

#include <QSettings>

namespace zelt {

SystemPreferences::SystemPreferences()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zelt"),
                                            QStringLiteral("zelt-view")))
{
}

SystemPreferences::~SystemPreferences() = default;

QString SystemPreferences::value(const QString& key, const QString& fallback) const
{
    return settings_->value(key, fallback).toString();
}

void SystemPreferences::setValue(const QString& key, const QString& value)
{
    settings_->setValue(key, value);
    settings_->sync();
}

}  // namespace zelt
