#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "core/shell/controls/ListViewModel.h"
#include "support/FolderTree.h"
#include "support/InputListSupport.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/ListViewControl.h"

// The window's own ways into the input list: the samples at start-up and drops
// onto the list control.
namespace quorvid {
namespace {

using test::FileList;
using test::FolderTree;
using test::Items;
using test::MakeSample;
using test::Snapshot;

TEST(SampleFiles, LoadRecordsTheSnapshotOnlyWhileItIsEmpty) {
    test::TestPlatform test;
    const QString first = MakeSample(test, QStringLiteral("first.mp4"));
    {
        Form1 form(test.platform);
        form.Form_Load();
    }
    EXPECT_EQ(Snapshot(test), first);

    MakeSample(test, QStringLiteral("second.mp4"));
    {
        Form1 form(test.platform);
        form.Form_Load();
        test.dialogs.yesNoAnswers = {false};
        form.PushButton10_Click();
        EXPECT_EQ(form.ListView1Items().ItemCount(), 1);
    }
    EXPECT_EQ(Snapshot(test), first);
    EXPECT_TRUE(test.dialogs.Warnings().isEmpty());
}

TEST(FileDrop, TheInputListTakesDropsOfFilesAndRefusesText) {
    FolderTree tree;
    const QString clip = tree.file(QStringLiteral("clip.mp4"));
    test::TestPlatform test;
    Form1 form(test.platform);
    QWidget* viewport = form.ListView1->viewport();

    QMimeData text;
    text.setText(QStringLiteral("not a file list"));
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());

    const auto files = FileList({clip});
    QDragEnterEvent offered(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton,
                            Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &offered);
    EXPECT_TRUE(offered.isAccepted());

    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(Items(form.ListView1Items()), QStringList{clip});
}

}  // namespace
}  // namespace quorvid
