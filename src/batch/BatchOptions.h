#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "core/extraction/ExtraColumns.h"

namespace quorvid {

enum class OutputFormat { Text, Csv, Json, Xlsx };

// The most helper processes -j takes: far more than any machine has cores.
inline constexpr int kMostJobs = 256;

struct BatchOptions {
    // Files and folders in the order given; "-" stands for standard input.
    QStringList paths;
    bool nulSeparated = false;
    QString extension = QStringLiteral("*");
    OutputFormat format = OutputFormat::Text;
    // Empty for standard output.
    QString outputFile;
    // --update: the JSON Lines catalogue brought up to date and written back.
    QString updateCatalogue;
    // --field and --hash: the columns after the catalogue's.
    ExtraColumns extraColumns;
    // --verify: the catalogue whose files' checksums are compared.
    QString verifyCatalogue;
    // --merge: paths are JSON Lines files whose rows are written, none read.
    bool merge = false;
    // --list-files: the paths of the files a run would read, and no row.
    bool listFiles = false;
    // Files read at once; 0: as their storage keeps up with.
    int jobs = 0;
    // A file whose reading makes no progress for this long is given up.
    std::chrono::milliseconds fileTimeout = std::chrono::seconds(60);
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// The options of a command line (without the program name), or nothing after
// writing what is wrong into error.
std::optional<BatchOptions> ParseBatchOptions(const QStringList& arguments, QString& error);

QString BatchHelpText();

}  // namespace quorvid
