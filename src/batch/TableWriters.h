#pragma once

#include <QStringEncoder>
#include <memory>

#include "batch/CheckingEvents.h"
#include "core/export/AlignedTextLayout.h"
#include "core/export/XlsxWorkbook.h"
#include "core/shell/report/ErrorReport.h"

namespace quorvid {

class ResultsStore;
class SafeFileWriter;

// Writes the table in a format whose first line needs every row: each row is
// seen once as it is read (Measure), then, once all are read, the header and
// the rows again, in order. A row is always row 1 of the store, which holds
// every column met so far.
class TableWriter {
  public:
    virtual ~TableWriter() = default;
    virtual void Measure(const ResultsStore&) {}
    virtual void WriteHeader(const ResultsStore& store) = 0;
    virtual void WriteRow(const ResultsStore& store) = 0;
    // Throws StepFailure when the table cannot be completed.
    virtual void Finish() {}
};

// The window's text file: cells padded to the widest text of their column.
class TextTableWriter : public TableWriter {
  public:
    TextTableWriter(const ResultsStore& store, SafeFileWriter& output);
    void Measure(const ResultsStore& store) override;
    void WriteHeader(const ResultsStore& store) override;
    void WriteRow(const ResultsStore& store) override;

  private:
    SafeFileWriter& output_;
    CheckingEvents events_;
    AlignedTextLayout layout_;
    QStringEncoder encoder_{QStringConverter::System};
    QString line_;
};

class CsvTableWriter : public TableWriter {
  public:
    explicit CsvTableWriter(SafeFileWriter& output) : output_(output) {}
    void WriteHeader(const ResultsStore& store) override;
    void WriteRow(const ResultsStore& store) override;

  private:
    SafeFileWriter& output_;
};

// The window's workbook, written by the workbook library into the output file
// itself. A cell that cannot be set is a failure of its row's file (cellFailure).
class XlsxTableWriter : public TableWriter {
  public:
    // Throws StepFailure when the workbook cannot be begun; outputName is
    // the file as messages name it.
    XlsxTableWriter(SafeFileWriter& output, const QString& outputName, const QString& scratchFolder,
                    ReportingProcedure::FailureSink cellFailure);
    void WriteHeader(const ResultsStore& store) override;
    void WriteRow(const ResultsStore& store) override;
    void Finish() override;

  private:
    QString outputName_;
    CheckingEvents events_;
    ReportingProcedure procedure_;
    std::unique_ptr<XlsxWorkbook> workbook_;
    int sheetRow_ = 1;
};

}  // namespace quorvid
