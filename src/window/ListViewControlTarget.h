#pragma once

#include "window/ListMouseHandling.h"

namespace quorvid {

class ListViewControl;

// The reorder drag's view of the window's list control.
class ListViewControlTarget : public ListMouseTarget {
  public:
    explicit ListViewControlTarget(ListViewControl& control) : control_(control) {}

    int HitTest(int x, int y) const override;
    void EnsureVisible(int index) override;
    void SetMousePointer(int value) override;
    void SetMouseIcon(const QCursor& icon) override;
    void DisableItemDragging() override;
    int CursorScreenY() const override;

  private:
    ListViewControl& control_;
};

}  // namespace quorvid
