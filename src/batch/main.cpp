#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "batch/CatalogueVerify.h"
#include "batch/ErrorLine.h"
#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/pool/ExtractorPool.h"
#include "core/pool/ExtractorProtocol.h"

namespace quorvid {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

// The run looks for the signal between files. One that has not stopped this
// long after it is held in a file read here, which the library may never finish.
constexpr unsigned kSecondsToStop = 2;

void OnStopSignal(int signal) {
    if (stopSignal == 0) {
        alarm(kSecondsToStop);
    }
    stopSignal = signal;
}

// The signal then ends the program itself; the output file, unnamed until it
// is put in place, goes with it.
void OnStopOverdue(int) {
    std::signal(stopSignal, SIG_DFL);
    std::raise(stopSignal);
}

// The arguments after the program name, or nothing after saying which one is
// no valid text.
std::optional<QStringList> DecodeArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        // A name Qt cannot hold without loss would name another file.
        if (QFile::encodeName(argument) != QByteArray(argv[i])) {
            WriteErrorLine(QStringLiteral("argument %1 is not valid text").arg(i));
            return std::nullopt;
        }
        arguments << argument;
    }
    return arguments;
}

// The options of the command line, or nothing after saying what is wrong with it.
std::optional<BatchOptions> ReadCommandLine(int argc, char* argv[]) {
    const std::optional<QStringList> arguments = DecodeArguments(argc, argv);
    if (!arguments) {
        return std::nullopt;
    }
    QString error;
    std::optional<BatchOptions> options = ParseBatchOptions(*arguments, error);
    if (!options) {
        WriteErrorLine(error);
        WriteErrorLine(QStringLiteral("Try 'quorvid-batch --help' for more information."));
    }
    return options;
}

// Ctrl-C and SIGTERM ask the run to stop between files; the alarm ends a stop
// that is overdue.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnStopOverdue;
    sigaction(SIGALRM, &action, nullptr);
}

// Says what the helpers' confinement lacks, or, when they refused to start
// without it, that the files are read here.
void SayWhatConfinementLacks(const ExtractorPool& pool, bool started) {
    if (started) {
        if (!pool.confinementNote().isEmpty()) {
            WriteErrorLine(pool.confinementNote());
        }
    } else if (!pool.refusal().isEmpty()) {
        WriteErrorLine(QStringLiteral("the extraction helpers cannot confine themselves (") +
                       pool.refusal() +
                       QStringLiteral("), so quorvid-batch reads the files itself, unconfined"));
    }
}

// The helpers that read the files, started. Their lines go below the progress
// line of run once it is set.
std::unique_ptr<ExtractorPool> StartHelpers(const BatchOptions& options,
                                            const ExtraColumns& columns,
                                            const QString& programFolder, BatchRun*& run) {
    ExtractorPoolOptions helpers = ProgramExtractorOptions(programFolder);
    helpers.watchdog = options.fileTimeout;
    helpers.extraColumns = columns;
    if (options.jobs > 0) {
        // The user's count of files at once, over a helper per processor at
        // most, each running its share of the readers.
        const int processors = std::max(1, QThread::idealThreadCount());
        helpers.filesAtOnce = options.jobs;
        helpers.helperCount =
            std::max(std::min(options.jobs, processors),
                     (options.jobs + protocol::kMostJournals - 1) / protocol::kMostJournals);
        helpers.readersPerHelper = (options.jobs + helpers.helperCount - 1) / helpers.helperCount;
    }
    helpers.diagnostics = [&run](const QString& line) {
        const QString text = QStringLiteral("extraction helper: ") + line;
        if (run != nullptr) {
            run->Say(text);
        } else {
            WriteErrorLine(text);
        }
    };
    auto pool = std::make_unique<ExtractorPool>(helpers);
    const bool started = pool->Start();
    SayWhatConfinementLacks(*pool, started);
    return pool;
}

// The output file is gone by now: the helpers stop and the signal ends the program.
int EndInterrupted(std::unique_ptr<ExtractorPool>& pool) {
    pool.reset();
    const int signal = stopSignal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
}

// Whether the library knows every --field's parameter, before any file is
// read; says which it does not.
bool LibraryKnowsFields(MediaInfoLibrary& library, const std::vector<ExtraField>& fields) {
    if (fields.empty()) {
        return true;
    }
    QString parameters;
    try {
        parameters = library.MediaInfo_Option(nullptr, L"Info_Parameters", L"");
    } catch (const StepFailure& failure) {
        WriteErrorLine(QStringLiteral("--field needs the metadata library: ") +
                       failure.description());
        return false;
    }
    const std::vector<ExtraField> unknown = UnknownParameters(fields, parameters);
    for (const ExtraField& field : unknown) {
        WriteErrorLine(
            QStringLiteral("the field '%1;%2': the library knows no parameter '%2' of "
                           "%1 streams (mediainfo --Info-Parameters lists them)")
                .arg(StreamKindName(field.kind), QString::fromStdWString(field.parameter)));
    }
    if (!unknown.empty()) {
        WriteErrorLine(QStringLiteral("Try 'quorvid-batch --help' for more information."));
    }
    return unknown.empty();
}

// The run over the files; its exit status.
int Run(const BatchOptions& options) {
    // The files are read in the sandboxed helpers beside the program; without
    // them, here, one at a time.
    const QString programFolder = QCoreApplication::applicationDirPath();
    MediaInfoLibrary& library = ProgramMediaInfoLibrary(programFolder);
    if (!LibraryKnowsFields(library, options.extraColumns.fields)) {
        return kExitUsageOrOutput;
    }
    // --verify reads its catalogue first: the checksum it holds is the one computed.
    std::optional<CatalogueChecksums> verified;
    ExtraColumns columns = options.extraColumns;
    if (!options.verifyCatalogue.isEmpty()) {
        QString error;
        verified = CatalogueChecksums::Load(options.verifyCatalogue, error);
        if (!verified) {
            WriteErrorLine(error);
            return kExitUsageOrOutput;
        }
        columns = ExtraColumns{{}, verified->kind, true};
    }
    GioShell shell;
    FileExtractor inProcess(library, shell);
    inProcess.SetExtraColumns(columns);
    BatchRun* run = nullptr;
    std::unique_ptr<ExtractorPool> pool = StartHelpers(options, columns, programFolder, run);
    try {
        if (verified) {
            return CatalogueVerify(*verified, pool.get(), inProcess, options.quiet, stopSignal)
                .Run();
        }
        BatchRun batch(options, pool.get(), inProcess, stopSignal);
        run = &batch;
        const int status = batch.Run();
        run = nullptr;
        return status;
    } catch (const RunInterrupted&) {
        run = nullptr;
        return EndInterrupted(pool);
    }
}

}  // namespace
}  // namespace quorvid

int main(int argc, char* argv[]) {
    using namespace quorvid;
    QCoreApplication application(argc, argv);
    const std::optional<BatchOptions> options = ReadCommandLine(argc, argv);
    if (!options) {
        return kExitUsageOrOutput;
    }
    if (options->help) {
        std::fputs(BatchHelpText().toLocal8Bit().constData(), stdout);
        return kExitSuccess;
    }
    if (options->version) {
        std::printf("quorvid-batch %s\n", QUORVID_VERSION);
        return kExitSuccess;
    }
    CatchStopSignals();
    return Run(*options);
}
