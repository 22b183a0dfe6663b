#pragma once

namespace quorvid {

class FileExtraction;
class ReportingProcedure;
class ResultsTable;

// Writes the row of one file's extraction into the table as if the run had read
// the file itself: the row appended at its step, cells and detail columns in the
// order they were made, and every failure reported under its step number.
void WriteExtractionRow(ReportingProcedure& procedure, ResultsTable& table,
                        const FileExtraction& extraction);

}  // namespace quorvid
