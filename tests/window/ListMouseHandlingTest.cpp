#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QtEndian>

#include "core/shell/controls/ListViewModel.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/ListMouseHandling.h"
#include "window/ListViewControl.h"

namespace quorvid {
namespace {

constexpr int kRowHeight = 10;

// Rows of ten pixels from the top; the pointer's screen height is set by the test.
class FakeListControl : public ListMouseTarget {
  public:
    explicit FakeListControl(const ListViewModel& list) : list_(list) {}
    int HitTest(int /*x*/, int y) const override {
        const int row = y / kRowHeight + 1;
        return y >= 0 && row <= list_.ItemCount() ? row : 0;
    }
    void EnsureVisible(int index) override { scrolledTo.push_back(index); }
    void SetMousePointer(int value) override { pointer = value; }
    void SetMouseIcon(const QCursor& /*icon*/) override { hasIcon = true; }
    void DisableItemDragging() override { draggingDisabled = true; }
    int CursorScreenY() const override { return screenY; }

    int screenY = 330;
    int pointer = 1;
    bool hasIcon = false;
    bool draggingDisabled = false;
    std::vector<int> scrolledTo;

  private:
    const ListViewModel& list_;
};

int RowY(int row) {
    return (row - 1) * kRowHeight + 5;
}

QString DragIcon() {
    return QStringLiteral(QUORVID_SOURCE_DIR "/beside/drag.ico");
}

struct Reorder {
    explicit Reorder(const QStringList& texts, QString icon = DragIcon())
        : control(list), mouse(list, control, std::move(icon)) {
        for (const QString& text : texts) {
            list.AddItem(text);
        }
    }
    // A press on a row, as the control reports it.
    void PressOn(int row) {
        list.SetSelected(row);
        mouse.MouseDown();
        mouse.ItemClick();
    }
    void MoveTo(int row) { mouse.MouseMove(3, RowY(row)); }
    QStringList Texts() const {
        QStringList texts;
        for (int i = 1; i <= list.ItemCount(); ++i) {
            texts << list.ItemText(i);
        }
        return texts;
    }

    ListViewModel list{false};
    FakeListControl control;
    ListMouseHandling mouse;
};

TEST(ListMouseHandling, CarriesThePressedItemThroughTheList) {
    Reorder run({"a", "b", "c", "d"});
    run.PressOn(1);
    EXPECT_EQ(run.control.pointer, ListMouseHandling::kPointerCustom);
    EXPECT_TRUE(run.control.hasIcon);
    EXPECT_TRUE(run.control.draggingDisabled);

    run.MoveTo(1);  // still over itself
    EXPECT_EQ(run.Texts(), QStringList({"a", "b", "c", "d"}));
    run.MoveTo(2);
    EXPECT_EQ(run.Texts(), QStringList({"b", "a", "c", "d"}));
    EXPECT_EQ(run.list.SelectedIndex(), 2);
    // A jump over several rows exchanges only the two ends.
    run.MoveTo(4);
    EXPECT_EQ(run.Texts(), QStringList({"b", "d", "c", "a"}));
    EXPECT_EQ(run.list.SelectedIndex(), 4);
    EXPECT_EQ(run.mouse.DragItem(), 4);

    run.mouse.MouseUp();
    EXPECT_FALSE(run.mouse.DragActive());
    EXPECT_EQ(run.control.pointer, ListMouseHandling::kPointerArrow);
    run.MoveTo(1);
    EXPECT_EQ(run.Texts(), QStringList({"b", "d", "c", "a"}));

    // A press on empty space carries the item clicked last.
    run.mouse.MouseDown();
    run.MoveTo(3);
    EXPECT_EQ(run.Texts(), QStringList({"b", "d", "a", "c"}));
}

TEST(ListMouseHandling, DuplicatesEmptySpaceAndRemovedItemsChangeNothing) {
    Reorder run({"same", "same", "other"});
    run.PressOn(1);
    run.MoveTo(2);
    EXPECT_EQ(run.Texts(), QStringList({"same", "same", "other"}));
    EXPECT_EQ(run.mouse.DragItem(), 1);
    run.mouse.MouseMove(3, RowY(9));
    EXPECT_EQ(run.Texts(), QStringList({"same", "same", "other"}));

    // The carried item goes (a double-click or Delete in the meantime).
    Reorder removed({"a", "b", "c"});
    removed.PressOn(3);
    removed.list.RemoveItem(3);
    removed.MoveTo(1);
    EXPECT_EQ(removed.Texts(), QStringList({"a", "b"}));
    EXPECT_EQ(removed.mouse.DragItem(), 0);
    removed.list.ClearItems();
    removed.MoveTo(1);
    EXPECT_EQ(removed.list.ItemCount(), 0);
}

TEST(ListMouseHandling, ScrollsAtTheFixedScreenHeights) {
    const auto scrollsFor = [](int screenY, int pressed, int over) {
        Reorder run({"a", "b", "c"});
        run.control.screenY = screenY;
        run.PressOn(pressed);
        run.MoveTo(over);
        return run.control.scrolledTo;
    };
    EXPECT_EQ(scrollsFor(300, 3, 2), std::vector<int>{1});
    EXPECT_EQ(scrollsFor(304, 1, 2), std::vector<int>{1});
    EXPECT_EQ(scrollsFor(300, 2, 1), std::vector<int>{});
    EXPECT_EQ(scrollsFor(305, 1, 2), std::vector<int>{});
    EXPECT_EQ(scrollsFor(364, 1, 2), std::vector<int>{});
    EXPECT_EQ(scrollsFor(365, 1, 2), std::vector<int>{3});
    EXPECT_EQ(scrollsFor(900, 1, 3), std::vector<int>{});
}

TEST(ListMouseHandling, WithoutTheDragPictureThePointerStaysAsItWas) {
    Reorder run({"a", "b"}, QStringLiteral("/nonexistent/drag.ico"));
    run.PressOn(1);
    EXPECT_FALSE(run.control.hasIcon);
    EXPECT_EQ(run.control.pointer, 1);
    run.MoveTo(2);
    EXPECT_EQ(run.Texts(), QStringList({"b", "a"}));
}

TEST(ListMouseHandling, TheInputListReordersUnderTheMouse) {
    test::TestPlatform test;
    Form1 form(test.platform);
    ListViewModel& list = form.ListView1Items();
    list.AddColumn(QStringLiteral(" Video File/s"));
    for (const char* text : {"/v/a.avi", "/v/b.avi", "/v/c.avi"}) {
        list.AddItem(QString::fromLatin1(text));
    }
    form.show();
    QWidget* viewport = form.ListView1->viewport();
    const auto rowCentre = [&](int row) {
        return QPointF(form.ListView1->visualRect(list.index(row - 1, 0)).center());
    };
    const auto send = [&](QEvent::Type type, int row, Qt::MouseButtons held) {
        const QPointF local = rowCentre(row);
        QMouseEvent event(type, local, viewport->mapToGlobal(local), Qt::LeftButton, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    };

    send(QEvent::MouseButtonPress, 1, Qt::LeftButton);
    send(QEvent::MouseMove, 2, Qt::LeftButton);
    send(QEvent::MouseMove, 3, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, 3, Qt::NoButton);
    send(QEvent::MouseMove, 1, Qt::NoButton);

    EXPECT_EQ(list.ItemText(1), QStringLiteral("/v/b.avi"));
    EXPECT_EQ(list.ItemText(2), QStringLiteral("/v/c.avi"));
    EXPECT_EQ(list.ItemText(3), QStringLiteral("/v/a.avi"));
    EXPECT_EQ(list.SelectedIndex(), 3);
    EXPECT_EQ(form.ListView1->MousePointer(), ListMouseHandling::kPointerArrow);
}

TEST(ImagesBesideTheProgram, PointersLoadThroughTheIconReader) {
    for (const char* name : {"drag.ico", "HAND-M.CUR"}) {
        const QString path = QStringLiteral(QUORVID_SOURCE_DIR "/beside/") + QLatin1String(name);
        QImageReader reader(path, "ico");
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << name << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(32, 32)) << name;
        EXPECT_TRUE(image.hasAlphaChannel()) << name;
    }
    // The cursor carries its hot spot at the finger tip.
    QFile cursor(QStringLiteral(QUORVID_SOURCE_DIR "/beside/HAND-M.CUR"));
    ASSERT_TRUE(cursor.open(QIODevice::ReadOnly));
    const QByteArray head = cursor.read(14);
    EXPECT_EQ(qFromLittleEndian<quint16>(head.constData() + 2), 2);
    EXPECT_GT(qFromLittleEndian<quint16>(head.constData() + 10), 0);
}

}  // namespace
}  // namespace quorvid
