#include "core/results/ExtractionReplay.h"

#include "core/extraction/FileExtraction.h"
#include "core/results/ResultsTable.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

void WriteDetail(ReportingProcedure& procedure, ResultsTable& table, int row,
                 const ExtractionEvent& detail) {
    int position = -1;
    procedure.Step(step::extract::kFindColumn,
                   [&] { position = table.FindColumnByHeader(detail.header); });
    if (procedure.Test(step::extract::kFoundColumn, [&] { return position != -1; })) {
        procedure.Step(step::extract::kWriteFoundColumn,
                       [&] { table.SetCell(row, position - 1, detail.text); });
    } else {
        procedure.Step(step::extract::kAppendColumn, [&] { table.AppendColumn(detail.header); });
        procedure.Step(step::extract::kWriteNewColumn,
                       [&] { table.SetCell(row, table.ColumnCount() - 1, detail.text); });
    }
}

}  // namespace

void WriteExtractionRow(ReportingProcedure& procedure, ResultsTable& table,
                        const FileExtraction& extraction) {
    int row = 0;
    bool rowAdded = false;
    const auto addRow = [&] {
        rowAdded = true;
        procedure.Step(step::extract::kAppendRow, [&] { row = table.AddRow(extraction.path()); });
    };
    for (const ExtractionEvent& event : extraction.events()) {
        if (!rowAdded && event.step > step::extract::kAppendRow) {
            addRow();
        }
        switch (event.kind) {
            case ExtractionEvent::Kind::Failure:
                procedure.Step(event.step, [&] { throw StepFailure(event.text); });
                break;
            case ExtractionEvent::Kind::Cell:
                procedure.Step(event.step, [&] { table.SetCell(row, event.cell, event.text); });
                break;
            case ExtractionEvent::Kind::Detail:
                WriteDetail(procedure, table, row, event);
                break;
        }
    }
    if (!rowAdded) {
        addRow();
    }
}

}  // namespace quorvid
