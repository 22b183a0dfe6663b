#pragma once

#include <QCursor>
#include <QTreeView>
#include <optional>

#include "core/shell/controls/MousePointer.h"

class QMimeData;

namespace quorvid {

class ListViewModel;

// The list-view control over a ListViewModel: report view with a header row.
// It turns Qt's input events into the control events the window handles, with
// the key codes and mouse buttons of the program's own convention.
class ListViewControl : public QTreeView {
    Q_OBJECT
  public:
    // Key codes as the key handlers test them; every other key is kKeyOther.
    static constexpr int kKeyDelete = 46;
    static constexpr int kKeyBackspace = 8;
    static constexpr int kKeyOther = 0;
    // Mouse buttons as a bit mask: 1 left, 2 right, 4 middle.
    static int ButtonMask(Qt::MouseButtons buttons);
    // Shift state as a bit mask: 1 Shift, 2 Ctrl, 4 Alt.
    static int ShiftMask(Qt::KeyboardModifiers modifiers);
    static int KeyCode(int qtKey);

    explicit ListViewControl(ListViewModel& model, QWidget* parent = nullptr);

    ListViewModel& items() { return model_; }

    // The row under a point of the control's viewport, or 0 for none.
    int HitTest(const QPoint& point) const;
    // Scrolls the row into view.
    void EnsureVisible(int index);

    // The control's own pointer, separate from the window's: 1 arrow, 99 custom.
    void SetMousePointer(int value);
    int MousePointer() const { return mousePointer_; }
    void SetMouseIcon(const QCursor& cursor);

    // Only a drop target offers the drag events.
    void SetDropTarget(bool enabled);

  signals:
    void ItemClick(int index);
    void DblClick();
    void KeyDown(int keyCode, int shift);
    void MouseDown(int button, int shift, int x, int y);
    void MouseMove(int button, int shift, int x, int y);
    void MouseUp(int button, int shift, int x, int y);
    // effect starts as the source's proposal; a handler sets 0 to refuse the drop.
    void OLEDragOver(const QMimeData& data, int& effect);
    void OLEDragDrop(const QMimeData& data);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void updateGeometries() override;

  private:
    // Gives the header's sections the widths of their columns.
    void SyncColumnWidths(int firstSection, int lastSection);
    void OfferDrop(QDropEvent* event);
    void ApplyPointer();

    ListViewModel& model_;
    int mousePointer_ = static_cast<int>(PointerShape::Arrow);
    std::optional<QCursor> mouseIcon_;
    bool syncingSelection_ = false;
    // Between a model's notice that columns will come or go and the notice that
    // they did.
    bool columnsChanging_ = false;
    bool geometriesDue_ = false;
};

}  // namespace quorvid
