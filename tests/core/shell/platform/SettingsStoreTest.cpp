#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/shell/platform/SettingsStore.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {
namespace {

TEST(SettingsStore, RoundTripAcrossStoresWithDefaults) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("Tallowin.ini"));
    {
        SettingsStore store(file);
        EXPECT_EQ(store.GetSetting(QStringLiteral("ShowAgain"), QStringLiteral("0")),
                  QStringLiteral("0"));
        EXPECT_EQ(store.GetSetting(QStringLiteral("Extension"), QStringLiteral("avi")),
                  QStringLiteral("avi"));
        store.SaveSetting(QStringLiteral("Snapshot"),
                          QStringLiteral("/opt/q/Samples/a b.mp4|/opt/q/Samples/ünï.mkv"));
        store.SaveSetting(QStringLiteral("Extension"), QStringLiteral("*"));
        store.SaveSetting(QStringLiteral("LastFolder"), QString());
    }
    // A later run reads what the earlier one wrote; an empty value is not absent.
    SettingsStore later(file);
    EXPECT_EQ(later.GetSetting(QStringLiteral("Snapshot"), QString()),
              QStringLiteral("/opt/q/Samples/a b.mp4|/opt/q/Samples/ünï.mkv"));
    EXPECT_EQ(later.GetSetting(QStringLiteral("Extension"), QStringLiteral("avi")),
              QStringLiteral("*"));
    EXPECT_EQ(later.GetSetting(QStringLiteral("LastFolder"), QStringLiteral("x")), QString());

    // Nothing is cached: a write through another store is seen at once.
    SettingsStore other(file);
    other.SaveSetting(QStringLiteral("ShowAgain"), QStringLiteral("1"));
    EXPECT_EQ(later.GetSetting(QStringLiteral("ShowAgain"), QStringLiteral("0")),
              QStringLiteral("1"));

    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("[Quorvid]"));
}

TEST(SettingsStore, AStoreThatCannotBeWrittenFails) {
    QTemporaryDir folder;
    // The store's path is a folder, so nothing can be written there.
    SettingsStore store(folder.path());
    EXPECT_THROW(store.SaveSetting(QStringLiteral("Extension"), QStringLiteral("avi")),
                 StepFailure);
}

}  // namespace
}  // namespace quorvid
