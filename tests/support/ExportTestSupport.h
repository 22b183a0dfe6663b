#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <initializer_list>

#include <gtest/gtest.h>

#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"
#include "support/TestPlatform.h"

namespace quorvid::test {

// A results grid from header texts and rows of cell texts; a row's first cell is
// its text. Every row starts checked.
inline void FillGrid(ListViewModel& grid, const QStringList& headers,
                     std::initializer_list<QStringList> rows) {
    for (const QString& header : headers) {
        grid.AddColumn(header);
    }
    for (const QStringList& cells : rows) {
        const int row = grid.AddItem(cells.value(0));
        for (int k = 1; k < cells.size(); ++k) {
            grid.SetSubItem(row, k, cells[k]);
        }
    }
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "(unreadable)";
    }
    return file.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// What an export command works on, over the test platform.
class ExportTest : public ::testing::Test {
  protected:
    TestPlatform platform;
    ListViewModel inputList{false};
    ListViewModel grid{true};
    ProgressState progress;
    MousePointerState pointer;
    CommandContext context{platform.platform, inputList, grid, progress, pointer};
};

}  // namespace quorvid::test
