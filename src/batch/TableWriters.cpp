#include "batch/TableWriters.h"

#include "core/export/RecordFormats.h"
#include "core/export/SpreadsheetExport.h"
#include "core/export/TextFileLine.h"
#include "core/results/ResultsStore.h"
#include "core/shell/files/SafeFileWriter.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The workbook library knows the output by its entry in /proc only.
StepFailure OutputNotWritten(const StepFailure& failure, const QString& path,
                             const QString& outputName) {
    return StepFailure(QStringLiteral("the output was not written (%1)")
                           .arg(QString(failure.description()).replace(path, outputName)));
}

}  // namespace

TextTableWriter::TextTableWriter(const ResultsStore& store, SafeFileWriter& output)
    : output_(output), layout_(store, events_) {}

void TextTableWriter::Measure(const ResultsStore&) {
    layout_.WidenToRow(1);
}

void TextTableWriter::WriteHeader(const ResultsStore&) {
    layout_.WidenToHeaders();
    output_.Write(TextFileLine(encoder_, layout_.HeaderLine()));
    line_.reserve(layout_.LineLength());
}

void TextTableWriter::WriteRow(const ResultsStore&) {
    line_.resize(0);
    layout_.AppendRow(line_, 1);
    output_.Write(TextFileLine(encoder_, line_));
}

void CsvTableWriter::WriteHeader(const ResultsStore& store) {
    output_.Write(CsvHeaderLine(store));
}

void CsvTableWriter::WriteRow(const ResultsStore& store) {
    output_.Write(CsvRowLine(store, 1));
}

XlsxTableWriter::XlsxTableWriter(SafeFileWriter& output, const QString& outputName,
                                 const QString& scratchFolder,
                                 ReportingProcedure::FailureSink cellFailure)
    : outputName_(outputName), procedure_(std::move(cellFailure)) {
    const QString path = output.PathForOtherWriters();
    try {
        workbook_ = std::make_unique<XlsxWorkbook>(path, scratchFolder);
    } catch (const StepFailure& failure) {
        throw OutputNotWritten(failure, path, outputName_);
    }
}

void XlsxTableWriter::WriteHeader(const ResultsStore& store) {
    WriteSpreadsheetHeaderRow(procedure_, events_, store, *workbook_);
}

void XlsxTableWriter::WriteRow(const ResultsStore& store) {
    WriteSpreadsheetRow(procedure_, events_, store, 1, *workbook_, ++sheetRow_);
}

void XlsxTableWriter::Finish() {
    workbook_->AutoFitColumns();
    try {
        workbook_->Finish();
    } catch (const StepFailure& failure) {
        throw OutputNotWritten(failure, workbook_->path(), outputName_);
    }
}

}  // namespace quorvid
