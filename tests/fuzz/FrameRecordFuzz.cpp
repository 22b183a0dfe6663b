// What a taken-over reader may send its parent: bytes cut into frames, the
// frames believed only as far as a real extraction goes, and the record that
// results written as a row, in CSV and in JSON Lines that reads back the same.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "FuzzCheck.h"
#include "core/export/JsonRowReader.h"
#include "core/export/RecordFormats.h"
#include "core/extraction/FileExtraction.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/pool/FileAttempt.h"
#include "core/results/ExtractionReplay.h"
#include "core/results/ResultsStore.h"
#include "core/shell/report/ErrorReport.h"

namespace {

using namespace quorvid;

constexpr std::uint32_t kRequest = 7;
const QString kPath = QStringLiteral("/archive/new\nline \u00e9.mp4");

// The row the parent writes of what it believed, and its JSON Lines round trip.
void WriteRow(const FileExtraction& record) {
    int reports = 0;
    ReportingProcedure procedure([&](int, const QString&) { ++reports; });
    ResultsStore store;
    WriteExtractionRow(procedure, store, record);
    FUZZ_CHECK(store.ItemCount() == 1);
    FUZZ_CHECK(reports <= 3);
    CsvRowLine(store, 1);
    QByteArray json = JsonRowLine(store, 1);
    json.chop(1);  // its LF
    QString error;
    const std::optional<JsonRow> row = ParseJsonRowLine(json, error);
    FUZZ_CHECK(row.has_value());
    ResultsStore readBack;
    WriteJsonRow(readBack, *row);
    QByteArray again = JsonRowLine(readBack, 1);
    again.chop(1);
    FUZZ_CHECK(again == json);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte says where the bytes arrive cut in two, as pipes cut them.
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = static_cast<qsizetype>(size - 1);
    const qsizetype cut = length == 0 ? 0 : data[0] % (length + 1);
    protocol::FrameReader reader;
    reader.Append(bytes, cut);
    FileAttempt attempt(
        data[0] % 2 == 0 ? FileExtractor::LibraryUse::Read : FileExtractor::LibraryUse::Skip,
        kPath);
    FileExtraction record(kPath);
    bool appended = false;
    for (;;) {
        std::optional<protocol::Message> message = reader.Next();
        if (!message && !appended) {
            reader.Append(bytes + cut, length - cut);
            appended = true;
            continue;
        }
        if (!message) {
            break;
        }
        const FileAttempt::Outcome outcome = attempt.Apply(*message, kRequest);
        if (outcome == FileAttempt::Outcome::Unbelievable) {
            FUZZ_CHECK(!attempt.doubt().isEmpty());
        }
        if (outcome != FileAttempt::Outcome::Continues) {
            break;
        }
    }
    for (ExtractionEvent& event : attempt.TakeEvents()) {
        record.Record(std::move(event));
    }
    WriteRow(record);
    return 0;
}
