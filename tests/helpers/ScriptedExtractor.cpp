// A stand-in for quorvid-extractor that misbehaves on request: the name of the
// file says what it does ("crash", "exit", "loop", "flood", "garble", "killme",
// "chatter": progress that never ends);
// "refuse-late" refuses confinement after it has begun, "noisy" writes escape
// sequences to its standard error first; any other file gets a small record
// that echoes its path. Its records go out as the real helper's do. Started
// under a name holding "refusing" it cannot confine itself; under one holding
// "lesser" it is confined less than it should be.
// With --pool-parent FILE it is instead a parent that starts a pool of itself on
// FILE and waits for ever, to be killed by a test.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/extraction/FieldCatalogue.h"
#include "core/pool/ExtractorPool.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/shell/report/ReportSteps.h"
#include "extractor/ExtractorService.h"

using namespace quorvid;

namespace {

void Send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
        if (written <= 0) {
            _exit(0);
        }
        done += written;
    }
}

void Cell(std::uint32_t id, int step, int cell, const QString& text) {
    Send(protocol::EncodeEvent(id, {ExtractionEvent::Kind::Cell, step, cell, {}, text}));
}

void Misbehave(const QString& path, std::uint32_t id) {
    const QString name = QFileInfo(path).fileName();
    if (name.contains(QLatin1String("crash"))) {
        raise(SIGSEGV);
    } else if (name.contains(QLatin1String("exit"))) {
        _exit(3);
    } else if (name.contains(QLatin1String("loop"))) {
        for (;;) {
            pause();
        }
    } else if (name.contains(QLatin1String("killme"))) {
        // Written whole under another name, so that no reader sees half a number.
        QFile pid(path + QStringLiteral(".pid-new"));
        if (pid.open(QIODevice::WriteOnly)) {
            pid.write(QByteArray::number(getpid()));
        }
        pid.close();
        pid.rename(path + QStringLiteral(".pid"));
        for (;;) {
            pause();
        }
    } else if (name.contains(QLatin1String("flood"))) {
        const QString text(64 * 1024, QLatin1Char('x'));
        for (;;) {
            Cell(id, step::extract::LibraryCellStep(1), 1, text);
        }
    } else if (name.contains(QLatin1String("refuse-late"))) {
        Send(protocol::EncodeRefused(QStringLiteral("too late to say so")));
        for (;;) {
            pause();
        }
    } else if (name.contains(QLatin1String("noisy"))) {
        const char text[] = "\x1b[2Jcleared\xc2\x9b\xe2\x80\xae reversed\n\x1b]0;title\x07";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, sizeof text - 1);
    } else if (name.contains(QLatin1String("chatter"))) {
        // Progress without end, as a taken-over reader may fake it.
        for (;;) {
            Send(protocol::EncodeStepStarted(id, step::extract::kOpenFile));
            usleep(100 * 1000);
        }
    } else if (name.contains(QLatin1String("garble"))) {
        // A helper taken over says no more that can be believed.
        Send(QByteArray("\x07\x00\x00\x00garbage", 11));
        for (;;) {
            pause();
        }
    }
}

int BeAPoolParent(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ExtractorPoolOptions options;
    options.program = QCoreApplication::applicationFilePath();
    options.helperCount = 2;
    ExtractorPool pool(options);
    if (!pool.Start()) {
        return 1;
    }
    pool.Take(pool.Submit(QString::fromLocal8Bit(argv[2])));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--pool-parent") {
        return BeAPoolParent(argc, argv);
    }
    signal(SIGPIPE, SIG_DFL);
    // It reads one file at a time, with the first journal it is given.
    const std::vector<int> journalFds = ParseHelperArguments(argc, argv).journalFds;
    const std::unique_ptr<JournalWriter> journal =
        journalFds.empty() ? nullptr : JournalWriter::Open(journalFds.front());
    const std::string program = argv[0];
    if (program.find("refusing") != std::string::npos) {
        Send(protocol::EncodeRefused(QStringLiteral("the filter could not be installed")));
        return 76;
    }
    Send(protocol::EncodeReady(program.find("lesser") != std::string::npos
                                   ? QStringLiteral("no Landlock here")
                                   : QString()));
    protocol::FrameReader reader;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            return 0;
        }
        reader.Append(chunk, got);
        while (const auto message = reader.Next()) {
            if (message->type != protocol::MessageType::Extract) {
                continue;  // it cannot end a reader: it has none
            }
            const std::uint32_t id = message->id;
            const QString& path = message->path;
            // As the real helper sends: the parent learns of the steps from the
            // journal until the record goes out whole.
            RecordStream record(STDOUT_FILENO, journal.get(), id);
            if ((message->flags & protocol::kSkipLibrary) == 0) {
                record.StepStarted(step::extract::kNewHandle);
                record.StepStarted(step::extract::kOpenFile);
                Misbehave(path, id);
                record.StepStarted(step::extract::LibraryCellStep(1));
                record.Recorded({ExtractionEvent::Kind::Cell,
                                 step::extract::LibraryCellStep(1),
                                 1,
                                 {},
                                 QStringLiteral("library read ") + path});
            }
            record.StepStarted(step::extract::kGetFile);
            record.Recorded({ExtractionEvent::Kind::Cell,
                             step::extract::FileCellStep(kFirstFileCell),
                             kFirstFileCell,
                             {},
                             path});
            record.Finish();
        }
    }
}
