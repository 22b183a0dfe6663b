#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "core/shell/report/ReportSteps.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/ListViewControl.h"

namespace quorvid {
namespace {

class Form1Test : public ::testing::Test {
  protected:
    test::TestPlatform test;
    std::unique_ptr<Form1> form;

    Form1& Load() {
        form = std::make_unique<Form1>(test.platform);
        form->Form_Load();
        return *form;
    }
    void AddInputs(std::initializer_list<const char*> paths) {
        for (const char* path : paths) {
            form->ListView1Items().AddItem(QString::fromUtf8(path));
        }
    }
    QStringList InputTexts() {
        QStringList texts;
        for (int i = 1; i <= form->ListView1Items().ItemCount(); ++i) {
            texts << form->ListView1Items().ItemText(i);
        }
        return texts;
    }
};

TEST_F(Form1Test, LoadBuildsTheWindowAsDesigned) {
    Form1& window = Load();
    EXPECT_TRUE(test.dialogs.shown.empty());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorvid"));
    EXPECT_EQ(window.size(), QSize(536, 596));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(window.ListView1Items().ColumnCount(), 1);
    EXPECT_EQ(window.ListView1Items().ColumnText(1), QStringLiteral(" Video File/s"));
    EXPECT_EQ(window.ListView1Items().ColumnWidth(1), 7000);
    EXPECT_EQ(window.ListView2Items().ColumnCount(), 53);
    EXPECT_EQ(window.ListView2Items().ItemCount(), 0);

    EXPECT_EQ(window.ListView1->geometry(), QRect(8, 42, 520, 169));
    EXPECT_EQ(window.ListView2->geometry(), QRect(8, 353, 520, 169));
    EXPECT_EQ(window.ProgressBar1->geometry(), QRect(8, 319, 520, 27));
    EXPECT_EQ(window.ProgressBar1->format(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.PushButton(11)->text(), QStringLiteral("?"));
    EXPECT_EQ(window.PushButton(11)->geometry(), QRect(232, 528, 32, 27));
    EXPECT_EQ(window.PushButton(12)->geometry(), QRect(408, 562, 120, 27));
    EXPECT_EQ(window.PushButton(6)->text(), QStringLiteral("Clear List"));
    EXPECT_EQ(window.PushButton(7)->text(), QStringLiteral("Clear List"));
    EXPECT_DOUBLE_EQ(window.PushButton(3)->font().pointSizeF(), 11.25);
    EXPECT_TRUE(window.PushButton(3)->font().bold());
    EXPECT_DOUBLE_EQ(window.ListView1->font().pointSizeF(), 9);
    EXPECT_TRUE(
        window.ListView1->toolTip().startsWith(QStringLiteral("Drag and drop files here.")));
    EXPECT_EQ(window.ListView2->toolTip(),
              QStringLiteral("Move | line to right and out of window to reveal full names."));
    // The tab order starts at the results grid.
    const QList<QWidget*> expectedOrder = {
        window.ListView2,      window.ListView1,     window.PushButton(8),  window.PushButton(1),
        window.PushButton(3),  window.PushButton(7), window.PushButton(10), window.PushButton(2),
        window.PushButton(5),  window.PushButton(4), window.PushButton(6),  window.PushButton(9),
        window.PushButton(11), window.PushButton(12)};
    QList<QWidget*> order;
    int steps = 0;
    for (QWidget* widget = window.ListView2; order.size() < expectedOrder.size() && ++steps < 500;
         widget = widget->nextInFocusChain()) {
        if (expectedOrder.contains(widget) && !order.contains(widget)) {
            order << widget;
        }
    }
    EXPECT_EQ(order, expectedOrder);
    EXPECT_FALSE(window.Skinned());
    EXPECT_FALSE(window.HasMouseIcon());
}

TEST_F(Form1Test, AFailingLoadStepIsReportedOnceAndLoadingGoesOn) {
    QFile damaged(test.folder.filePath(QStringLiteral("HAND-M.CUR")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a cursor at all");
    damaged.close();

    Form1& window = Load();
    const QStringList warnings = test.dialogs.Warnings();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("\r\nin Quorvidex2021/08/31.Form1.Form_Load ") +
                                     test::AtLine(step::formLoad::kLoadHandCursor) +
                                     QStringLiteral("\r\r")));
    EXPECT_FALSE(window.HasMouseIcon());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorvid"));
    EXPECT_EQ(window.ListView1Items().ColumnCount(), 1);
    EXPECT_EQ(window.ListView2Items().ColumnCount(), 53);
}

TEST_F(Form1Test, SkinFileTakesTheButtonColour) {
    ASSERT_TRUE(QDir(test.folder.path()).mkdir(QStringLiteral("x")));
    QFile skin(test.folder.filePath(QStringLiteral("x/o.cjs")));
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    Form1& window = Load();
    EXPECT_TRUE(window.Skinned());
    EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Button));
    EXPECT_TRUE(window.styleSheet().contains(QStringLiteral("#123456")));
}

TEST_F(Form1Test, HomePageDraw) {
    // int(0.06 * 100) + 1 is 7, int(0.07 * 100) + 1 is 8.
    test.random.draws = {0.06};
    Load();
    ASSERT_EQ(test.urls.opened.size(), 1u);
    EXPECT_EQ(test.urls.opened[0].host(), QStringLiteral("www.tallowin.example"));
    ASSERT_EQ(test.random.seeds.size(), 1u);
    EXPECT_DOUBLE_EQ(test.random.seeds[0], test.clock.seconds);

    test.urls.opened.clear();
    test.random.draws = {0.07};
    Load();
    EXPECT_TRUE(test.urls.opened.empty());
}

TEST_F(Form1Test, RemovalAndClearingKeepOutWhileBusy) {
    Form1& window = Load();
    AddInputs({"/v/a.avi", "/v/b.avi", "/v/a.avi"});
    window.ListView1Items().SetSelected(3);

    window.SetMousePointer(11);
    window.ListView1_KeyDown(ListViewControl::kKeyDelete, 0);
    window.ListView1_DblClick();
    window.PushButton7_Click();
    EXPECT_EQ(window.ListView1Items().ItemCount(), 3);

    window.SetMousePointer(0);
    window.ListView1_KeyDown(ListViewControl::kKeyBackspace, 0);
    window.ListView1_KeyDown(Qt::Key_A, 0);
    EXPECT_EQ(window.ListView1Items().ItemCount(), 3);
    // Only the selected entry goes, not its twin at the top.
    window.ListView1_KeyDown(ListViewControl::kKeyDelete, 0);
    EXPECT_EQ(InputTexts(), (QStringList{"/v/a.avi", "/v/b.avi"}));
    // Nothing selected: nothing to remove.
    window.ListView1_DblClick();
    EXPECT_EQ(window.ListView1Items().ItemCount(), 2);
    window.ListView1Items().SetSelected(1);
    window.ListView1_DblClick();
    EXPECT_EQ(InputTexts(), (QStringList{"/v/b.avi"}));

    window.PushButton7_Click();
    EXPECT_EQ(window.ListView1Items().ItemCount(), 0);
    EXPECT_EQ(window.ListView1Items().ColumnCount(), 1);
    window.ListView1_DblClick();  // empty list: nothing happens
    EXPECT_TRUE(test.dialogs.Warnings().isEmpty());
}

TEST_F(Form1Test, ResultsClearHasNoBusyTest) {
    Form1& window = Load();
    window.ListView2Items().AddItem(QStringLiteral("/v/a.avi"));
    window.ListView2Items().AddColumn(QStringLiteral("File General - Owner"));
    window.SetMousePointer(11);
    window.PushButton6_Click();
    EXPECT_EQ(window.ListView2Items().ItemCount(), 0);
    EXPECT_EQ(window.ListView2Items().ColumnCount(), 54);
}

TEST_F(Form1Test, KeysAndDoubleClicksOnTheControlReachTheHandlers) {
    Form1& window = Load();
    AddInputs({"/v/a.avi", "/v/b.avi"});
    window.ShowCentred();
    window.ListView1Items().SetSelected(2);
    EXPECT_EQ(window.ListView1->currentIndex().row(), 1);
    // Qt's code for "." equals the Delete key's code of the handlers.
    QTest::keyClick(window.ListView1, Qt::Key_Period);
    QTest::keyClick(window.ListView1, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(window.ListView1, Qt::Key_Backspace);
    EXPECT_EQ(window.ListView1Items().ItemCount(), 2);
    for (int qtKey = 0; qtKey <= 0xffff; ++qtKey) {
        ASSERT_NE(ListViewControl::KeyCode(qtKey), ListViewControl::kKeyDelete) << qtKey;
    }
    QTest::keyClick(window.ListView1, Qt::Key_Delete);
    EXPECT_EQ(InputTexts(), (QStringList{"/v/a.avi"}));

    const QRect first = window.ListView1->visualRect(window.ListView1Items().index(0, 0));
    QTest::mouseDClick(window.ListView1->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(window.ListView1Items().ItemCount(), 0);
}

TEST_F(Form1Test, HoverRulesNeverOverwriteTheHourglass) {
    Form1& window = Load();
    window.PushButton_MouseMove();
    EXPECT_EQ(window.MousePointer(), 99);
    window.Form_MouseMove();
    EXPECT_EQ(window.MousePointer(), 0);
    window.PushButton_MouseMove();
    window.ListView2_MouseMove(0, 0, 5, 5);
    EXPECT_EQ(window.MousePointer(), 0);
    window.PushButton_MouseMove();
    window.ListView1_MouseMove(0, 0, 5, 5);
    EXPECT_EQ(window.MousePointer(), 0);

    window.SetMousePointer(11);
    window.PushButton_MouseMove();
    window.Form_MouseMove();
    window.ListView1_MouseMove(0, 0, 5, 5);
    window.ListView2_MouseMove(0, 0, 5, 5);
    EXPECT_EQ(window.MousePointer(), 11);
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);

    // A real mouse move over a button goes through the event filter.
    window.SetMousePointer(0);
    window.ShowCentred();
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window.PushButton(2), &move);
    EXPECT_EQ(window.MousePointer(), 99);
}

TEST_F(Form1Test, HelpButtonsShowTheirMessages) {
    Form1& window = Load();
    window.PushButton5_Click();
    window.PushButton11_Click();
    window.PushButton12_Click();
    window.PushButton12_Click();
    const QStringList messages = test.dialogs.Messages();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0], QStringLiteral("Questions? Please contact Team Tallowin at "
                                          "https://www.tallowin.example/contact/"));
    EXPECT_EQ(messages[1], QStringLiteral("Results appear to be best viewed in Excel rather than "
                                          "text file or by copying text to the clipboard."));
    EXPECT_TRUE(messages[2].contains(QStringLiteral("the fields.\r\n\r\nIf this software")));
    EXPECT_TRUE(
        messages[2].endsWith(QStringLiteral(" and email support@tallowin.example a request.")));
    EXPECT_EQ(messages[2], messages[3]);
    EXPECT_EQ(test.dialogs.shown[0].title, QStringLiteral("Quorvid"));
}

TEST_F(Form1Test, ClosingEndsTheProgram) {
    Form1& window = Load();
    window.ShowCentred();
    const int yields = test.events.count;
    window.close();
    EXPECT_EQ(test.programEnd.ended, 1);
    EXPECT_EQ(test.events.count, yields + 2);
}

}  // namespace
}  // namespace quorvid
