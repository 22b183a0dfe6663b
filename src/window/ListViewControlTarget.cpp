#include "window/ListViewControlTarget.h"

#include "window/ListViewControl.h"

namespace quorvid {

int ListViewControlTarget::HitTest(int x, int y) const {
    return control_.HitTest(QPoint(x, y));
}

void ListViewControlTarget::EnsureVisible(int index) {
    control_.EnsureVisible(index);
}

void ListViewControlTarget::SetMousePointer(int value) {
    control_.SetMousePointer(value);
}

void ListViewControlTarget::SetMouseIcon(const QCursor& icon) {
    control_.SetMouseIcon(icon);
}

void ListViewControlTarget::DisableItemDragging() {
    control_.setDragEnabled(false);
}

int ListViewControlTarget::CursorScreenY() const {
    return QCursor::pos().y();
}

}  // namespace quorvid
