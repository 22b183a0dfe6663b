#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/QtDialogs.h"

namespace quorvid {
namespace {

QMessageBox* OpenBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Runs whileShown once the next box is up; the box stays up until it returns.
void WhileTheNextBoxIsUp(const std::function<void(QMessageBox&)>& whileShown) {
    QTimer::singleShot(0, [whileShown] {
        QMessageBox* box = OpenBox();
        ASSERT_NE(box, nullptr);
        whileShown(*box);
    });
}

TEST(QtDialogs, BoxesShowPlainTextAndKeepTheMainWindowClosable) {
    test::TestPlatform test;
    Form1 form(test.platform);
    QtDialogs dialogs;
    dialogs.SetOwner(&form);
    form.show();
    form.ListView1Items().AddItem(QStringLiteral("/v/a.avi"));
    auto* clearInput = form.findChild<QPushButton*>(QStringLiteral("PushButton7"));
    ASSERT_NE(clearInput, nullptr);

    WhileTheNextBoxIsUp([&](QMessageBox& box) {
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.text(), QStringLiteral("/v/<b>bold</b>.avi\nin X at line 1"));
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Application Error"));
        // The window takes no clicks while the box is up ...
        QTest::mouseClick(clearInput, Qt::LeftButton);
        EXPECT_EQ(form.ListView1Items().ItemCount(), 1);
        // ... but nothing holds back its close, which ends the program.
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        QCloseEvent close;
        QApplication::sendEvent(form.windowHandle(), &close);
        EXPECT_EQ(test.programEnd.ended, 1);
        box.button(QMessageBox::Ok)->click();
    });
    dialogs.Warning(QStringLiteral("Application Error"),
                    QStringLiteral("/v/<b>bold</b>.avi\r\nin X at line 1"));
    EXPECT_EQ(OpenBox(), nullptr);

    // The window takes clicks again, and a question still gets its answer.
    QTest::mouseClick(clearInput, Qt::LeftButton);
    EXPECT_EQ(form.ListView1Items().ItemCount(), 0);
    WhileTheNextBoxIsUp([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(dialogs.AskYesNo(QStringLiteral("Sure?")));
    WhileTheNextBoxIsUp([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_FALSE(dialogs.AskYesNo(QStringLiteral("Sure?")));

    // Return typed into the main window, which may keep the focus where no
    // window manager moves it, answers the box instead.
    WhileTheNextBoxIsUp([&](QMessageBox&) { QTest::keyClick(clearInput, Qt::Key_Return); });
    dialogs.Message(QStringLiteral("Done."));
    EXPECT_EQ(OpenBox(), nullptr);
}

}  // namespace
}  // namespace quorvid
