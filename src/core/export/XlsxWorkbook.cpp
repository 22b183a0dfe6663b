#include "core/export/XlsxWorkbook.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <algorithm>

#include "core/shell/platform/EventsTurningWait.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The widest column the file format allows, in characters.
constexpr int kMaxColumnWidth = 255;

[[noreturn]] void Fail(const QString& what, lxw_error error) {
    throw StepFailure(what + QStringLiteral(": ") + QString::fromUtf8(lxw_strerror(error)));
}

int LongestLine(const QString& text) {
    int longest = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) {
            end = text.size();
        }
        longest = std::max(longest, static_cast<int>(end - start));
        start = end + 1;
    }
    return longest;
}

}  // namespace

XlsxWorkbook::XlsxWorkbook(const QString& path, const QString& scratchFolder)
    : path_(path),
      scratchFolder_(
          QFile::encodeName(scratchFolder.isEmpty() ? QDir::tempPath() : scratchFolder)) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchFolder_.data();
    const QByteArray file = QFile::encodeName(path);
    workbook_ = workbook_new_opt(file.constData(), &options);
    if (workbook_ == nullptr) {
        throw StepFailure(QStringLiteral("The workbook could not be created: ") +
                          QDir::toNativeSeparators(path));
    }
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    if (sheet_ == nullptr) {
        workbook_close(workbook_);
        QFile::remove(path_);
        throw StepFailure(QStringLiteral("The workbook could not be created: ") +
                          QDir::toNativeSeparators(path));
    }
}

XlsxWorkbook::~XlsxWorkbook() {
    // Closing is the only way to free the library's workbook; a file that was
    // never finished is of no use to anyone.
    if (workbook_ != nullptr) {
        workbook_close(workbook_);
        QFile::remove(path_);
    }
}

void XlsxWorkbook::SetCellText(int row, int column, const QString& text) {
    if (workbook_ == nullptr) {
        throw StepFailure(QStringLiteral("The workbook is already closed"));
    }
    if (row < 1 || column < 1) {
        throw StepFailure(QStringLiteral("Invalid cell position"));
    }
    const QByteArray utf8 = text.toUtf8();
    const lxw_error error =
        worksheet_write_string(sheet_, static_cast<lxw_row_t>(row - 1),
                               static_cast<lxw_col_t>(column - 1), utf8.constData(), nullptr);
    if (error != LXW_NO_ERROR) {
        Fail(QStringLiteral("Cell (%1, %2) could not be set").arg(row).arg(column), error);
    }
    const auto index = static_cast<size_t>(column - 1);
    if (longestLines_.size() <= index) {
        longestLines_.resize(index + 1, 0);
    }
    longestLines_[index] = std::max(longestLines_[index], LongestLine(text));
}

void XlsxWorkbook::AutoFitColumns() {
    autoFit_ = true;
}

void XlsxWorkbook::Finish() {
    if (workbook_ == nullptr) {
        throw StepFailure(QStringLiteral("The workbook is already closed"));
    }
    if (autoFit_) {
        for (size_t index = 0; index < longestLines_.size(); ++index) {
            // One character more than the text, as the spreadsheet's own fit leaves.
            const int width = std::min(kMaxColumnWidth, longestLines_[index] + 1);
            const auto column = static_cast<lxw_col_t>(index);
            worksheet_set_column(sheet_, column, column, width, nullptr);
        }
    }
    // Zipping a grid of a hundred thousand rows takes seconds.
    lxw_error error = LXW_NO_ERROR;
    RunWhileEventsTurn([&] { error = workbook_close(workbook_); });
    workbook_ = nullptr;
    sheet_ = nullptr;
    if (error != LXW_NO_ERROR) {
        QFile::remove(path_);
        Fail(QStringLiteral("The workbook could not be written to ") +
                 QDir::toNativeSeparators(path_),
             error);
    }
}

}  // namespace quorvid
