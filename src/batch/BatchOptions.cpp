#include "batch/BatchOptions.h"

#include <QCommandLineParser>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvid {

namespace {

// The options read so far, and whether --format was among them: --update
// takes no format but json.
struct ParsedOptions {
    BatchOptions options;
    bool formatGiven = false;
};

// Reads the value of one option into parsed, or says in error what is wrong with it.
using ValueReader = bool (*)(const QString& value, ParsedOptions& parsed, QString& error);

struct OptionRule {
    // A one-letter name first, if the option has one.
    QStringList names;
    // For an option that takes a value.
    ValueReader readValue = nullptr;
    // For one that does not: the switch it turns on.
    bool BatchOptions::*flag = nullptr;
};

bool Refuse(QString& error, const QString& reason) {
    error = reason;
    return false;
}

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

bool ReadOutputFile(const QString& file, ParsedOptions& parsed, QString& error) {
    if (file.isEmpty()) {
        return Refuse(error, QStringLiteral("the output file name is empty"));
    }
    parsed.options.outputFile = file;
    return true;
}

bool ReadFormat(const QString& name, ParsedOptions& parsed, QString& error) {
    const std::optional<OutputFormat> format = FormatNamed(name);
    if (!format) {
        return Refuse(error,
                      QStringLiteral("unknown format '%1' (text, csv, json or xlsx)").arg(name));
    }
    parsed.options.format = *format;
    parsed.formatGiven = true;
    return true;
}

bool ReadCatalogue(const QString& catalogue, ParsedOptions& parsed, QString& error) {
    if (catalogue.isEmpty()) {
        return Refuse(error, QStringLiteral("the catalogue file name is empty"));
    }
    parsed.options.updateCatalogue = catalogue;
    return true;
}

bool ReadField(const QString& text, ParsedOptions& parsed, QString& error) {
    std::optional<ExtraField> field = ParseExtraField(text, error);
    if (!field) {
        return false;
    }
    std::vector<ExtraField>& fields = parsed.options.extraColumns.fields;
    if (std::find(fields.begin(), fields.end(), *field) != fields.end()) {
        return Refuse(error, QStringLiteral("the field '%1' is given twice").arg(text));
    }
    fields.push_back(std::move(*field));
    return true;
}

bool ReadHash(const QString& name, ParsedOptions& parsed, QString& error) {
    const std::optional<ChecksumKind> kind = ChecksumNamed(name);
    if (!kind) {
        return Refuse(error,
                      QStringLiteral("unknown checksum '%1' (sha256, md5 or sha1)").arg(name));
    }
    parsed.options.extraColumns.checksum = *kind;
    return true;
}

bool ReadVerify(const QString& catalogue, ParsedOptions& parsed, QString& error) {
    if (catalogue.isEmpty()) {
        return Refuse(error, QStringLiteral("the catalogue file name is empty"));
    }
    parsed.options.verifyCatalogue = catalogue;
    return true;
}

bool ReadExtension(const QString& extension, ParsedOptions& parsed, QString& error) {
    if (extension.isEmpty()) {
        return Refuse(error, QStringLiteral("the extension is empty (use * for all files)"));
    }
    parsed.options.extension = extension;
    return true;
}

bool ReadJobs(const QString& jobs, ParsedOptions& parsed, QString& error) {
    bool number = false;
    const int count = jobs.toInt(&number);
    if (!number || count < 1 || count > kMostJobs) {
        return Refuse(error,
                      QStringLiteral("the number of jobs '%1' is no whole number from 1 to %2")
                          .arg(jobs)
                          .arg(kMostJobs));
    }
    parsed.options.jobs = count;
    return true;
}

bool ReadFileTimeout(const QString& seconds, ParsedOptions& parsed, QString& error) {
    bool number = false;
    const double value = seconds.toDouble(&number);
    if (!number || !(value > 0) || value > 86400) {
        return Refuse(error,
                      QStringLiteral("the file timeout '%1' is no number of seconds").arg(seconds));
    }
    parsed.options.fileTimeout = std::chrono::milliseconds(std::llround(value * 1000));
    return true;
}

const std::vector<OptionRule>& OptionRules() {
    static const std::vector<OptionRule> rules{
        {{QStringLiteral("0"), QStringLiteral("null")}, nullptr, &BatchOptions::nulSeparated},
        {{QStringLiteral("ext")}, ReadExtension},
        {{QStringLiteral("format")}, ReadFormat},
        {{QStringLiteral("o"), QStringLiteral("output")}, ReadOutputFile},
        {{QStringLiteral("j"), QStringLiteral("jobs")}, ReadJobs},
        {{QStringLiteral("file-timeout")}, ReadFileTimeout},
        {{QStringLiteral("update")}, ReadCatalogue},
        {{QStringLiteral("field")}, ReadField},
        {{QStringLiteral("hash")}, ReadHash},
        {{QStringLiteral("verify")}, ReadVerify},
        {{QStringLiteral("merge")}, nullptr, &BatchOptions::merge},
        {{QStringLiteral("list-files")}, nullptr, &BatchOptions::listFiles},
        {{QStringLiteral("q"), QStringLiteral("quiet")}, nullptr, &BatchOptions::quiet},
        {{QStringLiteral("h"), QStringLiteral("help")}, nullptr, &BatchOptions::help},
        {{QStringLiteral("V"), QStringLiteral("version")}, nullptr, &BatchOptions::version},
    };
    return rules;
}

// The arguments the parser read as options, as written and in order: those
// that start with '-', less the paths and the values of options.
QStringList OptionsAsWritten(const QCommandLineParser& parser, const QStringList& arguments) {
    QStringList written;
    for (const QString& argument : arguments) {
        if (argument.size() > 1 && argument.startsWith(u'-') && argument != QLatin1String("--")) {
            written << argument;
        }
    }
    // A path that starts with '-' comes after "--", after any option of the same text.
    for (const QString& path : parser.positionalArguments()) {
        const qsizetype at = written.lastIndexOf(path);
        if (at != -1) {
            written.removeAt(at);
        }
    }
    // Where a value has the text of an option too, the first of the two is
    // taken for the value; that can change only which of two faults is told.
    for (const OptionRule& rule : OptionRules()) {
        if (rule.readValue != nullptr) {
            for (const QString& value : parser.values(rule.names.first())) {
                written.removeOne(value);
            }
        }
    }
    return written;
}

// The option an argument names in one of the ways options have always been
// written here: "-o" for a letter, "--output" for a word, "--output=FILE" for a
// word with a value; none for any other, such as "--o", "-output" or "-o=FILE",
// which the parser would take too.
const OptionRule* RuleWrittenAs(const QString& argument) {
    for (const OptionRule& rule : OptionRules()) {
        for (const QString& name : rule.names) {
            const bool letter = name.size() == 1;
            const QString option = (letter ? QStringLiteral("-") : QStringLiteral("--")) + name;
            if (argument == option ||
                (!letter && rule.readValue != nullptr && argument.startsWith(option + u'='))) {
                return &rule;
            }
        }
    }
    return nullptr;
}

// What is wrong with an option written in none of our ways: "--name=value" is
// a value given to an option that takes none, whether or not the name is ours.
QString ForeignOptionFault(const QString& argument) {
    const qsizetype equals = argument.indexOf(u'=');
    if (argument.startsWith(QLatin1String("--")) && equals != -1) {
        return QStringLiteral("option %1 takes no value").arg(argument.left(equals));
    }
    return QStringLiteral("unknown option %1").arg(argument);
}

// Takes the options in the order given, so the last of a repeated option wins
// and the first fault is the one told.
bool ReadOptions(const QCommandLineParser& parser, const QStringList& arguments,
                 ParsedOptions& parsed, QString& error) {
    QHash<const OptionRule*, qsizetype> valuesRead;
    for (const QString& written : OptionsAsWritten(parser, arguments)) {
        const OptionRule* rule = RuleWrittenAs(written);
        if (rule == nullptr) {
            return Refuse(error, ForeignOptionFault(written));
        }
        if (rule->readValue == nullptr) {
            parsed.options.*rule->flag = true;
            continue;
        }
        const QStringList values = parser.values(rule->names.first());
        qsizetype& read = valuesRead[rule];
        if (read == values.size()) {
            // Only the last argument can be an option with nothing after it.
            return Refuse(error, QStringLiteral("option %1 needs a value").arg(arguments.last()));
        }
        if (!rule->readValue(values[read++], parsed, error)) {
            return false;
        }
    }
    return true;
}

bool CheckUpdate(const ParsedOptions& parsed, QString& error) {
    const BatchOptions& options = parsed.options;
    if (options.merge) {
        return Refuse(error, QStringLiteral("--update and --merge do not go together"));
    }
    if (!options.outputFile.isEmpty()) {
        return Refuse(error, QStringLiteral("--update writes the catalogue back; it takes no -o"));
    }
    if (parsed.formatGiven && options.format != OutputFormat::Json) {
        return Refuse(error, QStringLiteral("--update writes JSON Lines only"));
    }
    return true;
}

// --verify reads the files its catalogue names, its way: nothing else to choose.
bool CheckVerify(const ParsedOptions& parsed, QString& error) {
    const BatchOptions& options = parsed.options;
    if (!options.paths.isEmpty()) {
        return Refuse(error, QStringLiteral("--verify takes the files of its catalogue; no PATH"));
    }
    const bool other = options.merge || options.listFiles || !options.updateCatalogue.isEmpty() ||
                       !options.outputFile.isEmpty() || parsed.formatGiven ||
                       options.extraColumns.Count() > 0 || options.extension != QLatin1String("*");
    if (other) {
        return Refuse(error, QStringLiteral("--verify goes with none of --update, --merge, "
                                            "--list-files, -o, --format, --ext, --field, --hash"));
    }
    return true;
}

bool CheckCombinations(const ParsedOptions& parsed, QString& error) {
    const BatchOptions& options = parsed.options;
    if (!options.verifyCatalogue.isEmpty() && !options.help && !options.version) {
        return CheckVerify(parsed, error);
    }
    if (options.paths.isEmpty() && !options.help && !options.version) {
        return Refuse(error, QStringLiteral("no file or folder given"));
    }
    if (!options.updateCatalogue.isEmpty() && !CheckUpdate(parsed, error)) {
        return false;
    }
    if (options.listFiles && (options.merge || !options.updateCatalogue.isEmpty())) {
        return Refuse(error, QStringLiteral("--list-files goes with neither --update nor --merge"));
    }
    // A workbook is binary: never for standard output, least of all a terminal.
    if (options.format == OutputFormat::Xlsx && options.outputFile.isEmpty() &&
        !options.listFiles) {
        return Refuse(
            error,
            QStringLiteral("--format xlsx writes a workbook file only: give it with -o FILE"));
    }
    if (options.merge && options.extraColumns.Count() > 0) {
        return Refuse(error, QStringLiteral("--merge writes the columns its parts have; it takes "
                                            "no --field or --hash"));
    }
    if (options.merge && options.paths.contains(QStringLiteral("-"))) {
        return Refuse(error,
                      QStringLiteral("--merge reads its parts from files, not standard input"));
    }
    return true;
}

}  // namespace

std::optional<BatchOptions> ParseBatchOptions(const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    // "-word" is one option, never several letters, as it always was here.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionRule& rule : OptionRules()) {
        parser.addOption(
            QCommandLineOption(rule.names, QString(),
                               rule.readValue != nullptr ? QStringLiteral("value") : QString()));
    }
    // Whatever the parser refuses is found below and told in our own words.
    parser.parse(QStringList{QStringLiteral("quorvid-batch")} + arguments);
    ParsedOptions parsed;
    if (!ReadOptions(parser, arguments, parsed, error)) {
        return std::nullopt;
    }
    parsed.options.paths = parser.positionalArguments();
    if (!CheckCombinations(parsed, error)) {
        return std::nullopt;
    }
    if (!parsed.options.updateCatalogue.isEmpty()) {
        parsed.options.format = OutputFormat::Json;
    }
    return parsed.options;
}

QString BatchHelpText() {
    return QStringLiteral(
        "Usage: quorvid-batch [OPTION]... PATH...\n"
        "  or:  quorvid-batch --update CATALOGUE.jsonl [OPTION]... PATH...\n"
        "  or:  quorvid-batch --merge [OPTION]... PART.jsonl...\n"
        "  or:  quorvid-batch --verify CATALOGUE.jsonl\n"
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
        "  -j, --jobs N         read N files at once, 1 to 256 (default: as many as\n"
        "                       their storage keeps up with, found while reading: the\n"
        "                       processor count where reading costs nothing, more on\n"
        "                       a network share, one on a spinning disk; the progress\n"
        "                       line says how many)\n"
        "      --field KIND;PARAMETER\n"
        "                       one more column, after the 53 and before the detail\n"
        "                       columns, headed \"KIND - PARAMETER\": the library's text\n"
        "                       of PARAMETER for the first stream of KIND (General,\n"
        "                       Video, Audio, Text, Other, Image or Menu), as the\n"
        "                       mediainfo program prints it; repeatable, in order.\n"
        "                       List fields such as General;Audio_Language_List give\n"
        "                       every track. \"mediainfo --Info-Parameters\" lists them\n"
        "      --hash ALGORITHM one more column after those, the file's checksum:\n"
        "                       sha256, md5 or sha1, in lowercase hex as sha256sum\n"
        "                       prints it; a file that changes while it is read gets\n"
        "                       a failure line and no checksum\n"
        "      --verify CATALOGUE.jsonl\n"
        "                       read every file of a catalogue made with --hash again\n"
        "                       and compare its checksum: one line on standard output\n"
        "                       per file that changed, is missing or cannot be read,\n"
        "                       then a summary; status 0 when every file matched, 1\n"
        "                       otherwise; the catalogue is not changed\n"
        "      --file-timeout SECONDS\n"
        "                       give up a file whose reading makes no progress for this\n"
        "                       long (default 60); its library cells stay empty\n"
        "      --update CATALOGUE.jsonl\n"
        "                       bring a catalogue written by --format json up to date:\n"
        "                       read only the files under PATH that are new or whose\n"
        "                       size or modification time changed, drop the rows of\n"
        "                       files that are gone, and write it back, replaced only\n"
        "                       when the run succeeds; rows kept keep their checksum.\n"
        "                       --field and --hash must be those the catalogue was\n"
        "                       made with, or it is refused, saying the difference\n"
        "      --merge          write the rows of JSON Lines parts (of --format json\n"
        "                       runs) in the chosen format, as one run over their files\n"
        "                       would, reading no file; a file in several parts gets\n"
        "                       the row of the last; parts with other --field or\n"
        "                       --hash columns are refused\n"
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
