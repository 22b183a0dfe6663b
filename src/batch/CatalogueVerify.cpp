#include "batch/CatalogueVerify.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "batch/BatchRun.h"
#include "core/export/JsonRowReader.h"
#include "core/extraction/FileExtractor.h"
#include "core/pool/ExtractionFeed.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/report/ReportSteps.h"
#include "core/shell/texts/TerminalText.h"

namespace quorvid {

namespace {

constexpr std::chrono::milliseconds kProgressTick{100};

void WriteOutputLine(const QString& text) {
    const QByteArray line = TerminalText(text).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
}

// Whether the file's own reader said why it has no checksum: its storage
// answered then, and may be asked whether the file is still there. One that
// timed out or whose storage stopped answering is not asked again: that could
// hang for as long as the storage does.
bool ReaderFailedOnIt(const FileExtraction& read) {
    return std::any_of(read.events().begin(), read.events().end(),
                       [](const ExtractionEvent& event) {
                           return event.kind == ExtractionEvent::Kind::Failure &&
                                  event.step == step::extract::kChecksum;
                       });
}

// The first failure of a record, as its line says it.
QString FirstFailure(const FileExtraction& read) {
    for (const ExtractionEvent& event : read.events()) {
        if (event.kind == ExtractionEvent::Kind::Failure) {
            return event.text;
        }
    }
    return QStringLiteral("no checksum came back");
}

}  // namespace

std::optional<CatalogueChecksums> CatalogueChecksums::Load(const QString& catalogue,
                                                           QString& error) {
    QFile input(catalogue);
    if (!input.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(catalogue, input.errorString());
        return std::nullopt;
    }
    CatalogueChecksums loaded;
    JsonRowReader reader(input);
    qint64 line = 0;
    while (const std::optional<JsonRow> row = reader.Next()) {
        ++line;
        const auto [kind, checksum] = row->Checksum();
        // The reader holds every row to the columns of the first.
        if (kind == ChecksumKind::None) {
            error = QStringLiteral(
                        "%1: line %2: no checksum column (the catalogue was made "
                        "without --hash); nothing to verify")
                        .arg(catalogue)
                        .arg(line);
            return std::nullopt;
        }
        loaded.kind = kind;
        loaded.files.emplace_back(row->path(), checksum);
    }
    if (reader.failed()) {
        error = QStringLiteral("%1: %2").arg(catalogue, reader.error());
        return std::nullopt;
    }
    if (loaded.files.empty()) {
        error = QStringLiteral("%1: no rows, so no checksums to verify").arg(catalogue);
        return std::nullopt;
    }
    return loaded;
}

CatalogueVerify::CatalogueVerify(const CatalogueChecksums& catalogue, ExtractorPool* helpers,
                                 const FileExtractor& inProcess, bool quiet,
                                 const volatile std::sig_atomic_t& interrupted)
    : catalogue_(catalogue),
      helpers_(helpers),
      inProcess_(inProcess),
      interrupted_(interrupted),
      progress_(!quiet) {}

int CatalogueVerify::Run() {
    const auto& files = catalogue_.files;
    const auto total = static_cast<qsizetype>(files.size());
    ExtractionFeed feed(
        helpers_, inProcess_,
        [&files](int position) -> std::optional<QString> {
            if (position < 1 || position > static_cast<int>(files.size())) {
                return std::nullopt;
            }
            return files[size_t(position - 1)].first;
        },
        static_cast<int>(total));
    for (qsizetype done = 0; done < total; ++done) {
        const auto& [path, stored] = files[size_t(done)];
        std::optional<FileExtraction> read;
        while (!read) {
            if (interrupted_ != 0) {
                throw RunInterrupted{};
            }
            if (helpers_ != nullptr) {
                progress_.SetReading(helpers_->ReadingSaid());
            }
            progress_.Show(done, total, FileNameFromPath(path));
            read = feed.Take(static_cast<int>(done + 1), path, kProgressTick);
        }
        if (interrupted_ != 0) {
            throw RunInterrupted{};
        }
        Compare(path, stored, *read);
    }
    progress_.Clear();
    WriteOutputLine(QStringLiteral("%1 files: %2 matched, %3 changed, %4 missing, %5 could not be "
                                   "read (%6)")
                        .arg(total)
                        .arg(counts_.matched)
                        .arg(counts_.changed)
                        .arg(counts_.missing)
                        .arg(counts_.unreadable)
                        .arg(ChecksumHeader(catalogue_.kind)));
    std::fflush(stdout);
    return counts_.matched == total ? kExitSuccess : kExitSomeFilesFailed;
}

void CatalogueVerify::Compare(const QString& path, const QString& stored,
                              const FileExtraction& read) {
    const QString checksum = read.Cell(inProcess_.extraColumns().ChecksumCell());
    if (checksum.isEmpty()) {
        if (ReaderFailedOnIt(read) && !QFileInfo::exists(path)) {
            ++counts_.missing;
            SayFile(path, QStringLiteral("missing"));
        } else {
            ++counts_.unreadable;
            SayFile(path, QStringLiteral("cannot be read: ") + FirstFailure(read));
        }
    } else if (stored.isEmpty()) {
        // Its first run could not sum it: nothing says what it should be.
        ++counts_.unreadable;
        SayFile(path, QStringLiteral("has no checksum in the catalogue to compare with"));
    } else if (checksum != stored) {
        ++counts_.changed;
        SayFile(path, QStringLiteral("changed (%1 %2, now %3)")
                          .arg(ChecksumHeader(catalogue_.kind), stored, checksum));
    } else {
        ++counts_.matched;
    }
}

void CatalogueVerify::SayFile(const QString& path, const QString& what) {
    progress_.Clear();
    WriteOutputLine(path + QStringLiteral(": ") + what);
    std::fflush(stdout);
}

}  // namespace quorvid
