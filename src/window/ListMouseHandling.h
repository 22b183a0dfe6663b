#pragma once

#include <QCursor>
#include <QString>
#include <optional>

#include "core/shell/controls/MousePointer.h"

namespace quorvid {

class ListViewModel;

// What the reorder drag needs of the input list's control.
class ListMouseTarget {
  public:
    virtual ~ListMouseTarget() = default;
    // The row under a point of the control, or 0 for none.
    virtual int HitTest(int x, int y) const = 0;
    virtual void EnsureVisible(int index) = 0;
    // The control's own pointer, by the property's numbers (PointerShape).
    virtual void SetMousePointer(int value) = 0;
    virtual void SetMouseIcon(const QCursor& icon) = 0;
    // Stops the control from dragging items out to other programs.
    virtual void DisableItemDragging() = 0;
    // The pointer's vertical position on the screen, in pixels.
    virtual int CursorScreenY() const = 0;
};

// Reordering the input list with the mouse: a press on an item and moves over
// other items carry its path through the list.
class ListMouseHandling {
  public:
    static constexpr int kPointerArrow = static_cast<int>(PointerShape::Arrow);
    static constexpr int kPointerCustom = static_cast<int>(PointerShape::Custom);
    // Screen heights above and below which a carried item scrolls the list.
    static constexpr int kScrollUpBelowY = 305;
    static constexpr int kScrollDownFromY = 365;

    ListMouseHandling(ListViewModel& list, ListMouseTarget& control, QString dragIconPath);

    void ItemClick();
    void MouseDown();
    void MouseUp();
    // The carrying part of a move over the list, at the control's x and y.
    void MouseMove(int x, int y);

    bool DragActive() const { return dragActive_; }
    // The carried row, or 0 for none.
    int DragItem() const { return dragItem_ ? dragItem_->index : 0; }

  private:
    // Rows hold only their text, so the carried item is known by place and text;
    // when the row at that place no longer holds it, the item has gone.
    struct CarriedItem {
        int index;
        QString text;
    };
    bool StillListed(const CarriedItem& item) const;

    ListViewModel& list_;
    ListMouseTarget& control_;
    QString dragIconPath_;
    bool dragActive_ = false;
    std::optional<CarriedItem> dragItem_;
};

}  // namespace quorvid
