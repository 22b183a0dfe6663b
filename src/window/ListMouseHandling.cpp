#include "window/ListMouseHandling.h"

#include <QPixmap>
#include <utility>

#include "core/shell/controls/ListViewModel.h"

namespace quorvid {

ListMouseHandling::ListMouseHandling(ListViewModel& list, ListMouseTarget& control,
                                     QString dragIconPath)
    : list_(list), control_(control), dragIconPath_(std::move(dragIconPath)) {}

void ListMouseHandling::ItemClick() {
    // Without the picture the list keeps its ordinary pointer.
    const QPixmap picture(dragIconPath_);
    if (!picture.isNull()) {
        control_.SetMouseIcon(QCursor(picture));
        control_.SetMousePointer(kPointerCustom);
    }
    control_.DisableItemDragging();
    const int selected = list_.SelectedIndex();
    if (selected > 0) {
        dragItem_ = CarriedItem{selected, list_.ItemText(selected)};
    } else {
        dragItem_.reset();
    }
}

void ListMouseHandling::MouseDown() {
    dragActive_ = true;
}

void ListMouseHandling::MouseUp() {
    dragActive_ = false;
    control_.SetMousePointer(kPointerArrow);
}

bool ListMouseHandling::StillListed(const CarriedItem& item) const {
    return item.index <= list_.ItemCount() && list_.ItemText(item.index) == item.text;
}

void ListMouseHandling::MouseMove(int x, int y) {
    if (!dragActive_ || !dragItem_) {
        return;
    }
    if (!StillListed(*dragItem_)) {
        dragItem_.reset();
        return;
    }
    const int hover = control_.HitTest(x, y);
    if (hover == 0) {
        return;
    }
    const QString hoverText = list_.ItemText(hover);
    if (hoverText == dragItem_->text) {
        return;
    }
    list_.SetItemText(dragItem_->index, hoverText);
    list_.SetItemText(hover, dragItem_->text);
    list_.SetSelected(hover);
    dragItem_->index = hover;

    const int screenY = control_.CursorScreenY();
    if (screenY < kScrollUpBelowY && hover >= 2) {
        control_.EnsureVisible(hover - 1);
    } else if (screenY >= kScrollDownFromY && hover + 1 <= list_.ItemCount()) {
        control_.EnsureVisible(hover + 1);
    }
}

}  // namespace quorvid
