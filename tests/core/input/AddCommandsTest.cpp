#include <gtest/gtest.h>

#include "core/input/AddFiles.h"
#include "core/input/AddFolder.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "support/FolderTree.h"
#include "support/TestPlatform.h"

namespace quorvid {
namespace {

using test::FolderTree;
using test::Relative;
using Kind = test::ScriptedDialogs::Kind;

struct Commands {
    test::TestPlatform test;
    ListViewModel inputList{false};
    ListViewModel resultsGrid{true};
    ProgressState progress;
    MousePointerState pointer;
    CommandContext context{test.platform, inputList, resultsGrid, progress, pointer};

    QStringList Items() const {
        QStringList items;
        for (int i = 1; i <= inputList.ItemCount(); ++i) {
            items << inputList.ItemText(i);
        }
        return items;
    }
    QString Setting(const char* key) const {
        return test.settings->GetSetting(QString::fromLatin1(key), QStringLiteral("(absent)"));
    }
};

TEST(AddFiles, AppendsTheChosenFilesInTheDialogsOrder) {
    Commands run;
    run.test.dialogs.openAnswers = {
        {QStringLiteral("/v/b.avi"), QStringLiteral("/v/a.avi"), QStringLiteral("/a.txt")},
        {},
        {QStringLiteral("/v/b.avi")}};

    AddFilesCommand(run.context);
    AddFilesCommand(run.context);  // cancelled
    AddFilesCommand(run.context);

    EXPECT_EQ(run.Items(), QStringList({QStringLiteral("/v/b.avi"), QStringLiteral("/v/a.avi"),
                                        QStringLiteral("/a.txt"), QStringLiteral("/v/b.avi")}));
    ASSERT_EQ(run.test.dialogs.shown.size(), 3u);
    const auto& dialog = run.test.dialogs.shown[0];
    EXPECT_EQ(dialog.kind, Kind::OpenFiles);
    EXPECT_EQ(dialog.title,
              QStringLiteral("Add File/s - Hold Ctrl or Shift to select multiple files"));
    EXPECT_EQ(dialog.extra,
              QStringLiteral("Video Files (*.avi;*.mpg;*.mpeg;*.flv;*.wmv;*.mov;*.mp4)|"
                             "*.avi;*.mpg;*.mpeg;*.flv;*.wmv;*.mov;*.mp4|"
                             "All Files (*.*)|*.*|"));
    EXPECT_TRUE(run.test.dialogs.Warnings().isEmpty());
}

TEST(AddFolder, AsksStoresAndAppendsTheMatchingFilesLevelByLevel) {
    FolderTree tree;
    for (const char* name : {"a.avi", "B.AVI", "c.mp4", "~temp.avi", ".hidden.avi", "sub/d.avi",
                             "sub/deeper/e.avi", "sub/deeper/~f.avi"}) {
        tree.file(QString::fromLatin1(name));
    }
    Commands run;
    run.test.dialogs.inputAnswers = {QStringLiteral("avi"), QStringLiteral("*")};
    // The second time the picker hands back the folder with a trailing separator.
    run.test.dialogs.folderAnswers = {tree.root(), tree.root() + QLatin1Char('/')};
    std::vector<PointerShape> pointerAtYields;
    run.test.events.onYield = [&](int) { pointerAtYields.push_back(run.pointer.value()); };

    AddFolderCommand(run.context);

    QStringList items = Relative(run.Items(), tree.root());
    ASSERT_EQ(items.size(), 4) << items.join(QLatin1Char(' ')).toStdString();
    QStringList top = items.mid(0, 2);
    top.sort();
    EXPECT_EQ(top, QStringList({QStringLiteral("B.AVI"), QStringLiteral("a.avi")}));
    EXPECT_EQ(items.mid(2),
              QStringList({QStringLiteral("sub/d.avi"), QStringLiteral("sub/deeper/e.avi")}));

    ASSERT_GE(run.test.dialogs.shown.size(), 2u);
    EXPECT_EQ(run.test.dialogs.shown[0].kind, Kind::Input);
    EXPECT_EQ(run.test.dialogs.shown[0].text,
              QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all txt "
                             "files, doc for all doc files, etc.)"));
    EXPECT_EQ(run.test.dialogs.shown[0].extra, QStringLiteral("avi"));
    EXPECT_EQ(run.test.dialogs.shown[1].kind, Kind::PickFolder);
    EXPECT_EQ(run.test.dialogs.shown[1].title, QStringLiteral("Please select folder:"));
    EXPECT_EQ(run.test.dialogs.shown[1].extra, QString());
    EXPECT_EQ(run.Setting("Extension"), QStringLiteral("avi"));
    EXPECT_EQ(run.Setting("LastFolder"), tree.root());
    ASSERT_FALSE(pointerAtYields.empty());
    EXPECT_TRUE(std::all_of(pointerAtYields.begin(), pointerAtYields.end(),
                            [](PointerShape value) { return value == MousePointerState::kHourglass; }));
    EXPECT_EQ(run.pointer.value(), MousePointerState::kDefault);

    // A second run offers what was stored, lists every file and adds no duplicate test.
    run.inputList.ClearItems();
    AddFolderCommand(run.context);
    EXPECT_EQ(run.test.dialogs.shown[2].extra, QStringLiteral("avi"));
    EXPECT_EQ(run.test.dialogs.shown[3].extra, tree.root());
    items = Relative(run.Items(), tree.root());
    EXPECT_EQ(items.size(), 5);
    EXPECT_TRUE(items.contains(QStringLiteral("c.mp4")));
    for (const QString& path : run.Items()) {
        EXPECT_FALSE(path.contains(QStringLiteral("//"))) << path.toStdString();
    }
    EXPECT_EQ(run.Setting("Extension"), QStringLiteral("*"));
    EXPECT_EQ(run.Setting("LastFolder"), tree.root() + QLatin1Char('/'));
    EXPECT_TRUE(run.test.dialogs.Warnings().isEmpty());
}

TEST(AddFolder, EmptyAnswerAndCancelledPickerKeepWhatTheyShould) {
    FolderTree tree;
    tree.file(QStringLiteral("a.mkv"));
    Commands run;
    run.test.settings->SaveSetting(QStringLiteral("Extension"), QStringLiteral("mkv"));
    run.test.settings->SaveSetting(QStringLiteral("LastFolder"), tree.path(QStringLiteral("gone")));

    run.test.dialogs.inputAnswers = {QString()};
    AddFolderCommand(run.context);
    ASSERT_EQ(run.test.dialogs.shown.size(), 1u);
    EXPECT_EQ(run.test.dialogs.shown[0].extra, QStringLiteral("mkv"));
    EXPECT_EQ(run.Setting("Extension"), QStringLiteral("mkv"));

    run.test.dialogs.inputAnswers = {QStringLiteral("mp4")};
    run.test.dialogs.folderAnswers = {QString()};
    AddFolderCommand(run.context);
    ASSERT_EQ(run.test.dialogs.shown.size(), 3u);
    // A stored folder that no longer exists is not offered to the picker.
    EXPECT_EQ(run.test.dialogs.shown[2].extra, QString());
    EXPECT_EQ(run.Setting("Extension"), QStringLiteral("mp4"));
    EXPECT_EQ(run.Setting("LastFolder"), tree.path(QStringLiteral("gone")));
    EXPECT_EQ(run.inputList.ItemCount(), 0);
    EXPECT_EQ(run.pointer.value(), MousePointerState::kDefault);
    EXPECT_TRUE(run.test.dialogs.Warnings().isEmpty());
}

}  // namespace
}  // namespace quorvid
