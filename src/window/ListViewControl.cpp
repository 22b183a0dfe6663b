#include "window/ListViewControl.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "core/shell/controls/ListViewModel.h"
#include "window/CellPrefixDelegate.h"

namespace quorvid {

int ListViewControl::ButtonMask(Qt::MouseButtons buttons) {
    int mask = 0;
    if (buttons & Qt::LeftButton) {
        mask |= 1;
    }
    if (buttons & Qt::RightButton) {
        mask |= 2;
    }
    if (buttons & Qt::MiddleButton) {
        mask |= 4;
    }
    return mask;
}

int ListViewControl::ShiftMask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers & Qt::ShiftModifier) {
        mask |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        mask |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        mask |= 4;
    }
    return mask;
}

int ListViewControl::KeyCode(int qtKey) {
    // Qt's codes of printable keys are their characters, which overlap the
    // program's codes ("." is 46, Delete's code), so no Qt code passes through.
    switch (qtKey) {
        case Qt::Key_Delete:
            return kKeyDelete;
        case Qt::Key_Backspace:
            return kKeyBackspace;
        default:
            return kKeyOther;
    }
}

ListViewControl::ListViewControl(ListViewModel& model, QWidget* parent)
    : QTreeView(parent), model_(model) {
    // New sections come at the model's width for a new column, so that only a
    // column of another width is resized: a width set on a shown section costs a
    // pass over all the sections, and a row may bring thousands. The header
    // keeps the others' widths when columns come or go.
    header()->setDefaultSectionSize(ListViewModel::kDefaultColumnWidth /
                                    ListViewModel::kTwipsPerPixel);
    setModel(&model_);
    SyncColumnWidths(0, model_.ColumnCount() - 1);
    setItemDelegate(new CellPrefixDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setTextElideMode(Qt::ElideNone);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);

    const auto columnsChanging = [this] { columnsChanging_ = true; };
    connect(&model_, &QAbstractItemModel::columnsAboutToBeInserted, this, columnsChanging);
    connect(&model_, &QAbstractItemModel::columnsAboutToBeRemoved, this, columnsChanging);
    connect(&model_, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                SyncColumnWidths(first, last);
                columnsChanging_ = false;
            });
    connect(&model_, &QAbstractItemModel::columnsRemoved, this,
            [this] { columnsChanging_ = false; });
    connect(&model_, &QAbstractItemModel::modelReset, this,
            [this] { SyncColumnWidths(0, model_.ColumnCount() - 1); });
    connect(&model_, &ListViewModel::columnWidthChanged, this, [this](int position, int twips) {
        header()->resizeSection(position - 1, twips / ListViewModel::kTwipsPerPixel);
    });

    // The model's selected row and the view's current row follow each other.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!syncingSelection_) {
                    syncingSelection_ = true;
                    model_.SetSelected(current.isValid() ? current.row() + 1 : 0);
                    syncingSelection_ = false;
                }
            });
    connect(&model_, &ListViewModel::selectedIndexChanged, this, [this](int index) {
        if (syncingSelection_) {
            return;
        }
        syncingSelection_ = true;
        if (index == 0) {
            selectionModel()->clear();
        } else {
            selectionModel()->setCurrentIndex(
                model_.index(index - 1, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        syncingSelection_ = false;
    });
}

void ListViewControl::SyncColumnWidths(int firstSection, int lastSection) {
    for (int section = firstSection; section <= lastSection; ++section) {
        header()->resizeSection(section,
                                model_.ColumnWidth(section + 1) / ListViewModel::kTwipsPerPixel);
    }
}

void ListViewControl::updateGeometries() {
    if (!columnsChanging_) {
        QTreeView::updateGeometries();
        return;
    }
    // The tree view places its header again for each column that comes or goes,
    // and the header measures up to 200 of its sections' texts each time; once,
    // when events next run, is enough for a whole row of new columns.
    if (!geometriesDue_) {
        geometriesDue_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                geometriesDue_ = false;
                QTreeView::updateGeometries();
            },
            Qt::QueuedConnection);
    }
}

int ListViewControl::HitTest(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() + 1 : 0;
}

void ListViewControl::EnsureVisible(int index) {
    if (index >= 1 && index <= model_.ItemCount()) {
        scrollTo(model_.index(index - 1, 0));
    }
}

void ListViewControl::SetMousePointer(int value) {
    mousePointer_ = value;
    ApplyPointer();
}

void ListViewControl::SetMouseIcon(const QCursor& cursor) {
    mouseIcon_ = cursor;
    ApplyPointer();
}

void ListViewControl::ApplyPointer() {
    if (mousePointer_ == static_cast<int>(PointerShape::Custom) && mouseIcon_) {
        viewport()->setCursor(*mouseIcon_);
    } else {
        // The arrow, or the window's hourglass while a command runs.
        viewport()->unsetCursor();
    }
}

void ListViewControl::SetDropTarget(bool enabled) {
    setAcceptDrops(enabled);
    viewport()->setAcceptDrops(enabled);
    setDragDropMode(enabled ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
}

void ListViewControl::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(KeyCode(event->key()), ShiftMask(event->modifiers()));
    QTreeView::keyPressEvent(event);
}

void ListViewControl::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    emit MouseDown(ButtonMask(event->buttons() | event->button()), ShiftMask(event->modifiers()),
                   point.x(), point.y());
    const int index = HitTest(point);
    if (index != 0) {
        emit ItemClick(index);
    }
}

void ListViewControl::mouseMoveEvent(QMouseEvent* event) {
    // With a button held the handlers move items themselves; the view's own
    // drag selection would fight them.
    if (event->buttons() == Qt::NoButton) {
        QTreeView::mouseMoveEvent(event);
    }
    const QPoint point = event->position().toPoint();
    emit MouseMove(ButtonMask(event->buttons()), ShiftMask(event->modifiers()), point.x(),
                   point.y());
}

void ListViewControl::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    const QPoint point = event->position().toPoint();
    emit MouseUp(ButtonMask(event->button()), ShiftMask(event->modifiers()), point.x(), point.y());
}

void ListViewControl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit DblClick();
}

void ListViewControl::OfferDrop(QDropEvent* event) {
    int effect = static_cast<int>(event->proposedAction());
    emit OLEDragOver(*event->mimeData(), effect);
    if (effect == 0) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void ListViewControl::dragEnterEvent(QDragEnterEvent* event) {
    OfferDrop(event);
}

void ListViewControl::dragMoveEvent(QDragMoveEvent* event) {
    OfferDrop(event);
}

void ListViewControl::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    emit OLEDragDrop(*event->mimeData());
}

}  // namespace quorvid
