#include "core/shell/platform/SettingsStore.h"

#include <QSettings>
#include <utility>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

QString UserIniFile() {
    const QSettings probe(QSettings::IniFormat, QSettings::UserScope,
                          QString::fromLatin1(kApplicationName));
    return probe.fileName();
}

QString KeyPath(const QString& key) {
    return QString::fromLatin1(kSettingsSection) + QLatin1Char('/') + key;
}

}  // namespace

SettingsStore::SettingsStore() : iniFile_(UserIniFile()) {}

SettingsStore::SettingsStore(QString iniFile) : iniFile_(std::move(iniFile)) {}

QString SettingsStore::GetSetting(const QString& key, const QString& defaultValue) const {
    // A fresh QSettings per call: another run may have written the file since.
    const QSettings settings(iniFile_, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError) {
        throw StepFailure(QStringLiteral("Cannot read the settings file ") + iniFile_);
    }
    if (settings.status() == QSettings::FormatError) {
        throw StepFailure(QStringLiteral("The settings file is damaged: ") + iniFile_);
    }
    const QVariant value = settings.value(KeyPath(key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::SaveSetting(const QString& key, const QString& value) {
    QSettings settings(iniFile_, QSettings::IniFormat);
    settings.setValue(KeyPath(key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw StepFailure(QStringLiteral("Cannot write the settings file ") + iniFile_);
    }
}

}  // namespace quorvid
