#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>

#include "core/input/FileDrop.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "support/FolderTree.h"
#include "support/InputListSupport.h"
#include "support/TestPlatform.h"

namespace quorvid {
namespace {

using test::FileList;
using test::FolderTree;
using test::Items;
using test::Relative;

TEST(FileDrop, OnlyAFileListIsOffered) {
    QMimeData text;
    text.setText(QStringLiteral("/some/file.avi"));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.com/clip.avi"))});
    const auto files = FileList({QStringLiteral("/some/file.avi")});

    EXPECT_FALSE(OffersFileList(text));
    EXPECT_FALSE(OffersFileList(web));
    EXPECT_TRUE(OffersFileList(*files));
    EXPECT_EQ(DroppedPaths(*files), QStringList{QStringLiteral("/some/file.avi")});
}

TEST(FileDrop, AppendsFilesAsTheyAreAndFoldersWalkedInDropOrder) {
    FolderTree tree;
    tree.file(QStringLiteral("A/a1.avi"));
    tree.file(QStringLiteral("A/~skip.avi"));
    tree.file(QStringLiteral("A/.hidden.txt"));
    tree.file(QStringLiteral("A/sub/a2.txt"));
    tree.file(QStringLiteral("B/b1.mkv"));
    const QString oddFile = tree.file(QStringLiteral("~odd name.txt"));
    const QString hiddenFile = tree.file(QStringLiteral(".hidden.avi"));
    test::TestPlatform test;
    ListViewModel list(false);
    ProgressState progress;
    MousePointerState pointer;
    ListViewModel grid(true);
    CommandContext context{test.platform, list, grid, progress, pointer};

    AddDroppedPaths(context,
                    {tree.path(QStringLiteral("A")), oddFile, tree.path(QStringLiteral("B")),
                     hiddenFile, tree.path(QStringLiteral("vanished.avi"))});
    AddDroppedPaths(context, {oddFile});

    EXPECT_EQ(Relative(Items(list), tree.root()),
              QStringList({QStringLiteral("A/a1.avi"), QStringLiteral("A/sub/a2.txt"),
                           QStringLiteral("~odd name.txt"), QStringLiteral("B/b1.mkv"),
                           QStringLiteral(".hidden.avi"), QStringLiteral("~odd name.txt")}));
    EXPECT_TRUE(test.dialogs.shown.empty());
    EXPECT_EQ(pointer.value(), MousePointerState::kDefault);
}

}  // namespace
}  // namespace quorvid
