#pragma once

#include <QString>

namespace quorvid {

// The per-user settings of application "Tallowin", section "Quorvid". Values are
// text; nothing is cached, every read and write goes to the store at once.
class SettingsStore {
  public:
    // The user's store: an INI file named after the application in the user's
    // configuration folder.
    SettingsStore();
    // A store kept in the given INI file (tests use a temporary one).
    explicit SettingsStore(QString iniFile);

    // The stored text of key, or defaultValue when the key is absent. Throws
    // StepFailure when the store cannot be read.
    QString GetSetting(const QString& key, const QString& defaultValue) const;
    // Stores value under key. Throws StepFailure when the store cannot be written.
    void SaveSetting(const QString& key, const QString& value);

    const QString& fileName() const { return iniFile_; }

  private:
    QString iniFile_;
};

inline constexpr auto kApplicationName = "Tallowin";
inline constexpr auto kSettingsSection = "Quorvid";

}  // namespace quorvid
