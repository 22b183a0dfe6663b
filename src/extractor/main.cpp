// quorvid-extractor: reads the files its parent names, one at a time, and
// streams what it finds back. It runs the library on hostile files so that the
// window does not have to: each file in a reader forked from this helper and
// confined to that file before the library sees it.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/extraction/MediaInfoDLL.h"
#include "extractor/ConfinedReaders.h"
#include "extractor/ExtractorService.h"
#include "extractor/ResourceLimits.h"
#include "extractor/WarmUpClips.h"

int main(int argc, char** argv) {
    // Local files only: no desktop daemons to talk to once confined.
    setenv("GIO_USE_VFS", "local", 1);
    // A reader that ended (the filter killed it) must not take its helper with
    // it by another signal: a write to its closed pipe fails instead, and the
    // parent hears how the reader ended.
    signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    const quorvid::HelperArguments arguments = quorvid::ParseHelperArguments(argc, argv);
    // Mapped before confinement; the descriptors are closed once they are.
    std::vector<std::unique_ptr<quorvid::JournalWriter>> journals;
    std::vector<quorvid::JournalWriter*> journalOfSlot;
    for (const int fd : arguments.journalFds) {
        journals.push_back(quorvid::JournalWriter::Open(fd));
        journalOfSlot.push_back(journals.back().get());
    }
    if (!quorvid::LimitResources(arguments.memoryLimitBytes)) {
        std::fprintf(stderr, "the resource limits could not be set\n");
    }
    // What the library makes of a failed allocation is not to be trusted: the
    // parent reports the file instead, at the step the journal names.
    std::set_new_handler([] { _exit(quorvid::protocol::kOutOfMemoryExitCode); });

    quorvid::GioShell shell;
    quorvid::FileExtractor extractor(
        quorvid::ProgramMediaInfoLibrary(QCoreApplication::applicationDirPath()), shell);
    if (!arguments.extraColumns) {
        quorvid::SendRefused(STDOUT_FILENO, QStringLiteral("the columns asked for make no sense"));
        return quorvid::ConfinedReaders::kNotConfinedExitCode;
    }
    // Before any reader is forked: the digest is fetched once, here.
    extractor.SetExtraColumns(*arguments.extraColumns);
    // Whatever the libraries load on first use is loaded now, while it may be;
    // the library opens no file before it is confined.
    const QString self = QCoreApplication::applicationFilePath();
    const auto clips = quorvid::WarmUpClips();
    extractor.WarmUp(self, clips);
    quorvid::GioShell::WarmUp(self);
    quorvid::GioShell::WarmUpTypes(clips);

    quorvid::ConfinedReaders readers(extractor, journalOfSlot, arguments.readersPerFolder);
    if (const auto problem = readers.Confine(self)) {
        quorvid::SendRefused(STDOUT_FILENO, *problem);
        return quorvid::ConfinedReaders::kNotConfinedExitCode;
    }
    if (!quorvid::SendReady(STDOUT_FILENO, readers.note())) {
        return 0;
    }
    return readers.Serve(STDIN_FILENO, STDOUT_FILENO);
}
