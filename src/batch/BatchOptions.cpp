#include "batch/BatchOptions.h"

#include <cmath>

namespace quorvid {

namespace {

std::optional<OutputFormat> FormatNamed(const QString& name) {
    if (name == QLatin1String("text")) {
        return OutputFormat::Text;
    }
    if (name == QLatin1String("csv")) {
        return OutputFormat::Csv;
    }
    if (name == QLatin1String("json")) {
        return OutputFormat::Json;
    }
    if (name == QLatin1String("xlsx")) {
        return OutputFormat::Xlsx;
    }
    return std::nullopt;
}

}  // namespace

std::optional<BatchOptions> ParseBatchOptions(const QStringList& arguments, QString& error) {
    BatchOptions options;
    bool formatGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || argument == QLatin1String("-") || !argument.startsWith(u'-')) {
            options.paths << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value" for the options that take a value.
        QString name = argument;
        std::optional<QString> value;
        const qsizetype equals = argument.indexOf(u'=');
        if (argument.startsWith(QLatin1String("--")) && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        const auto takeValue = [&]() -> std::optional<QString> {
            if (value) {
                return value;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            error = QStringLiteral("option %1 needs a value").arg(name);
            return std::nullopt;
        };
        if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
            const auto file = takeValue();
            if (!file) {
                return std::nullopt;
            }
            if (file->isEmpty()) {
                error = QStringLiteral("the output file name is empty");
                return std::nullopt;
            }
            options.outputFile = *file;
        } else if (name == QLatin1String("--format")) {
            const auto formatName = takeValue();
            if (!formatName) {
                return std::nullopt;
            }
            const auto format = FormatNamed(*formatName);
            if (!format) {
                error = QStringLiteral("unknown format '%1' (text, csv, json or xlsx)")
                            .arg(*formatName);
                return std::nullopt;
            }
            options.format = *format;
            formatGiven = true;
        } else if (name == QLatin1String("--update")) {
            const auto catalogue = takeValue();
            if (!catalogue) {
                return std::nullopt;
            }
            if (catalogue->isEmpty()) {
                error = QStringLiteral("the catalogue file name is empty");
                return std::nullopt;
            }
            options.updateCatalogue = *catalogue;
        } else if (name == QLatin1String("--ext")) {
            const auto extension = takeValue();
            if (!extension) {
                return std::nullopt;
            }
            if (extension->isEmpty()) {
                error = QStringLiteral("the extension is empty (use * for all files)");
                return std::nullopt;
            }
            options.extension = *extension;
        } else if (name == QLatin1String("-j") || name == QLatin1String("--jobs")) {
            const auto jobs = takeValue();
            if (!jobs) {
                return std::nullopt;
            }
            bool number = false;
            const int count = jobs->toInt(&number);
            if (!number || count < 1 || count > kMostJobs) {
                error = QStringLiteral("the number of jobs '%1' is no whole number from 1 to %2")
                            .arg(*jobs)
                            .arg(kMostJobs);
                return std::nullopt;
            }
            options.jobs = count;
        } else if (name == QLatin1String("--file-timeout")) {
            const auto seconds = takeValue();
            if (!seconds) {
                return std::nullopt;
            }
            bool number = false;
            const double value = seconds->toDouble(&number);
            if (!number || !(value > 0) || value > 86400) {
                error =
                    QStringLiteral("the file timeout '%1' is no number of seconds").arg(*seconds);
                return std::nullopt;
            }
            options.fileTimeout = std::chrono::milliseconds(std::llround(value * 1000));
        } else if (value) {
            error = QStringLiteral("option %1 takes no value").arg(name);
            return std::nullopt;
        } else if (name == QLatin1String("-0") || name == QLatin1String("--null")) {
            options.nulSeparated = true;
        } else if (name == QLatin1String("--merge")) {
            options.merge = true;
        } else if (name == QLatin1String("--list-files")) {
            options.listFiles = true;
        } else if (name == QLatin1String("-q") || name == QLatin1String("--quiet")) {
            options.quiet = true;
        } else if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.help = true;
        } else if (name == QLatin1String("-V") || name == QLatin1String("--version")) {
            options.version = true;
        } else {
            error = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
    }
    if (options.paths.isEmpty() && !options.help && !options.version) {
        error = QStringLiteral("no file or folder given");
        return std::nullopt;
    }
    if (!options.updateCatalogue.isEmpty()) {
        if (options.merge) {
            error = QStringLiteral("--update and --merge do not go together");
            return std::nullopt;
        }
        if (!options.outputFile.isEmpty()) {
            error = QStringLiteral("--update writes the catalogue back; it takes no -o");
            return std::nullopt;
        }
        if (formatGiven && options.format != OutputFormat::Json) {
            error = QStringLiteral("--update writes JSON Lines only");
            return std::nullopt;
        }
        options.format = OutputFormat::Json;
    }
    if (options.listFiles && (options.merge || !options.updateCatalogue.isEmpty())) {
        error = QStringLiteral("--list-files goes with neither --update nor --merge");
        return std::nullopt;
    }
    // A workbook is binary: never for standard output, least of all a terminal.
    if (options.format == OutputFormat::Xlsx && options.outputFile.isEmpty() &&
        !options.listFiles) {
        error = QStringLiteral("--format xlsx writes a workbook file only: give it with -o FILE");
        return std::nullopt;
    }
    if (options.merge && options.paths.contains(QStringLiteral("-"))) {
        error = QStringLiteral("--merge reads its parts from files, not standard input");
        return std::nullopt;
    }
    return options;
}

QString BatchHelpText() {
    return QStringLiteral(
        "Usage: quorvid-batch [OPTION]... PATH...\n"
        "  or:  quorvid-batch --update CATALOGUE.jsonl [OPTION]... PATH...\n"
        "  or:  quorvid-batch --merge [OPTION]... PART.jsonl...\n"
        "Write the metadata table of video files: one row per file, the same columns\n"
        "as the window's results grid.\n"
        "\n"
        "PATH is a file or a folder; folders are walked with all their subfolders.\n"
        "A PATH of - reads paths from standard input, one a line.\n"
        "\n"
        "  -0, --null           paths on standard input end with a NUL byte, not a newline\n"
        "      --ext EXT        in folders, take only files ending in .EXT (default *: all)\n"
        "      --format FORMAT  text (default): the window's text file, columns padded\n"
        "                       with spaces, each cell followed by a TAB, CR LF lines;\n"
        "                       csv: RFC 4180 CSV in UTF-8 with a header line;\n"
        "                       json: JSON Lines, one object per file, as files finish;\n"
        "                       xlsx: the window's Excel workbook (one sheet, every\n"
        "                       cell text, columns fitted); needs -o\n"
        "  -o, --output FILE    write to FILE, replaced only when the run succeeds\n"
        "                       (default: standard output)\n"
        "  -j, --jobs N         read the files in N helper processes, 1 to 256\n"
        "                       (default: one per processor)\n"
        "      --file-timeout SECONDS\n"
        "                       give up a file whose reading makes no progress for this\n"
        "                       long (default 60); its library cells stay empty\n"
        "      --update CATALOGUE.jsonl\n"
        "                       bring a catalogue written by --format json up to date:\n"
        "                       read only the files under PATH that are new or whose\n"
        "                       size or modification time changed, drop the rows of\n"
        "                       files that are gone, and write it back, replaced only\n"
        "                       when the run succeeds\n"
        "      --merge          write the rows of JSON Lines parts (of --format json\n"
        "                       runs) in the chosen format, as one run over their files\n"
        "                       would, reading no file; a file in several parts gets\n"
        "                       the row of the last\n"
        "      --list-files     write the paths of the files a run would read, in its\n"
        "                       order, one a line (NUL-ended with -0), and read none\n"
        "  -q, --quiet          no progress line on standard error (shown only on a\n"
        "                       terminal: files done, files per second, time left)\n"
        "  -h, --help           show this help and end\n"
        "  -V, --version        show the version and end\n"
        "\n"
        "Each failed step is one line on standard error. Exit status: 0 when nothing\n"
        "failed, 1 when some files had failures (their rows are still written), 2 for\n"
        "a usage error or output that cannot be written.\n"
        "\n"
        "Text, CSV and workbook rows wait in an unnamed scratch file in the output\n"
        "file's folder (in TMPDIR for standard output) until every width and detail\n"
        "column is known, so memory stays flat however many files there are.\n");
}

}  // namespace quorvid
