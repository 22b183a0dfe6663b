#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "core/extraction/FieldCatalogue.h"
#include "core/pool/ExtractionJournal.h"
#include "core/pool/ExtractorPool.h"
#include "core/pool/ExtractorProtocol.h"
#include "core/pool/HelperDiagnostics.h"
#include "core/shell/report/ReportSteps.h"
#include "extractor/ExtractorService.h"
#include "support/HelperProcesses.h"

namespace quorvid {
namespace {

using test::ChildPids;

ExtractorPoolOptions ScriptedHelpers() {
    ExtractorPoolOptions options;
    options.program = QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR);
    // It reads one file at a time itself, as a helper with a single reader.
    options.readersPerHelper = 1;
    options.helperCount = 2;
    options.watchdog = std::chrono::milliseconds(500);
    options.maxBytesPerFile = 1024 * 1024;
    return options;
}

QString FailureText(const FileExtraction& record) {
    for (const ExtractionEvent& event : record.events()) {
        if (event.kind == ExtractionEvent::Kind::Failure) {
            return event.text;
        }
    }
    return {};
}

TEST(ExtractorPoolTest, MisbehavingHelpersCostTheirFileOneReportAndAreReplaced) {
    QTemporaryDir folder;
    const auto path = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };
    // Newlines, a name that was not UTF-8 and a lone surrogate cross the pipe as they are.
    const QString odd = path("new\nline ") + QFile::decodeName("\xff\xfe.mp4") + QChar(0xD800);
    const QStringList paths = {path("good-1.mp4"), path("crash.mp4"),  odd,
                               path("exit.mkv"),   path("loop.mov"),   path("flood.ts"),
                               path("garble.avi"), path("killme.mp4"), path("good-2.mp4"),
                               path("chatter.mkv")};
    ExtractorPool pool(ScriptedHelpers());
    ASSERT_TRUE(pool.Start());
    std::vector<ExtractorPool::Ticket> tickets;
    for (const QString& file : paths) {
        tickets.push_back(pool.Submit(file));
    }
    // The helper on "killme" is killed from outside once it has begun.
    QTimer killer;
    QObject::connect(&killer, &QTimer::timeout, [&] {
        QFile pid(path("killme.mp4.pid"));
        const pid_t helper = pid.open(QIODevice::ReadOnly) ? pid.readAll().toInt() : 0;
        const std::vector<pid_t> helpers = ChildPids();
        if (std::find(helpers.begin(), helpers.end(), helper) != helpers.end()) {
            kill(helper, SIGKILL);
            killer.stop();
        }
    });
    killer.start(20);

    std::vector<FileExtraction> records;
    for (const auto ticket : tickets) {
        std::optional<FileExtraction> record = pool.Take(ticket);
        ASSERT_TRUE(record);
        records.push_back(std::move(*record));
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const FileExtraction& record = records[i];
        EXPECT_EQ(record.path(), paths[static_cast<qsizetype>(i)]);
        // Every file keeps its file facts, read again without the library if need be.
        EXPECT_EQ(record.Cell(kFirstFileCell), paths[static_cast<qsizetype>(i)]) << i;
    }
    for (const size_t good : {0, 2, 8}) {
        EXPECT_TRUE(records[good].FailedSteps().empty());
        EXPECT_EQ(records[good].Cell(1), QStringLiteral("library read ") + paths[good]);
    }
    const std::map<size_t, QString> expected = {
        {1, "The metadata library stopped while reading this file (signal 11)."},
        {3, "The metadata library stopped while reading this file (exit code 3)."},
        {4, "The metadata library did not finish reading this file within 0.5 seconds."},
        {5,
         "This file made the metadata library misbehave: its reader sent cell 1 twice, which "
         "no real file gives."},
        {6, "The extraction helper sent data that cannot be read for this file."},
        {7, "The metadata library stopped while reading this file (signal 9)."},
        {9,
         "The metadata library did not finish reading this file within 2.5 seconds, though it "
         "kept working on it."}};
    for (const auto& [index, description] : expected) {
        const FileExtraction& record = records[index];
        EXPECT_EQ(record.FailedSteps(), std::vector<int>{step::extract::kOpenFile}) << index;
        EXPECT_EQ(FailureText(record), description) << index;
        // What a misbehaving helper sent before it misbehaved stays.
        EXPECT_EQ(record.Cell(1), index == 5 ? QString(64 * 1024, u'x') : QString()) << index;
    }
    EXPECT_EQ(pool.helperCount(), 2);
}

// The scripted helper under another name, which changes how it starts.
QString ScriptedHelperNamed(const QTemporaryDir& folder, const char* name) {
    const QString link = folder.filePath(QString::fromLatin1(name));
    QFile::link(QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR), link);
    return link;
}

TEST(ExtractorPoolTest, OnlyAHelperThatHasNotBegunMayRefuseConfinement) {
    QTemporaryDir folder;
    ExtractorPoolOptions options = ScriptedHelpers();
    options.program = ScriptedHelperNamed(folder, "refusing-extractor");
    ExtractorPool refusing(options);
    EXPECT_FALSE(refusing.Start());
    EXPECT_EQ(refusing.refusal(), QStringLiteral("the filter could not be installed"));
    EXPECT_TRUE(ChildPids().empty());

    options.program = ScriptedHelperNamed(folder, "lesser-extractor");
    ExtractorPool lesser(options);
    ASSERT_TRUE(lesser.Start());
    EXPECT_TRUE(lesser.refusal().isEmpty());
    EXPECT_EQ(lesser.confinementNote(), QStringLiteral("no Landlock here"));

    // Said by a reader of a file, it would have the files read unconfined: it
    // counts as data that cannot be read, and the pool goes on.
    ExtractorPool pool(ScriptedHelpers());
    ASSERT_TRUE(pool.Start());
    const auto late = pool.Take(pool.Submit(folder.filePath(QStringLiteral("refuse-late.mp4"))));
    ASSERT_TRUE(late);
    EXPECT_EQ(FailureText(*late),
              QStringLiteral("The extraction helper sent data that cannot be read for this file."));
    EXPECT_FALSE(pool.IsBroken());
    EXPECT_TRUE(pool.refusal().isEmpty());
    const auto next = pool.Take(pool.Submit(folder.filePath(QStringLiteral("good.mp4"))));
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->FailedSteps().empty());
}

TEST(ExtractorPoolTest, WhatAHelperPrintsArrivesAsPlainLines) {
    QTemporaryDir folder;
    QStringList lines;
    ExtractorPoolOptions options = ScriptedHelpers();
    options.diagnostics = [&](const QString& line) { lines << line; };
    ExtractorPool pool(options);
    ASSERT_TRUE(pool.Start());
    ASSERT_TRUE(pool.Take(pool.Submit(folder.filePath(QStringLiteral("noisy.mp4")))));
    QElapsedTimer waited;
    waited.start();
    while (lines.empty() && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // Escape, CSI and the bidirectional override are gone; the unended last
    // line waits for the rest of it or the helper's end.
    EXPECT_EQ(lines, QStringList{QStringLiteral("[2Jcleared reversed")});
}

TEST(HelperDiagnosticsTest, LinesAreCutAndAFloodIsDroppedWithOneLine) {
    HelperDiagnostics diagnostics;
    EXPECT_TRUE(diagnostics.Add("half").isEmpty());
    EXPECT_EQ(diagnostics.Add(" a line\nnext"), QStringList{QStringLiteral("half a line")});
    EXPECT_EQ(diagnostics.Finish(), QStringList{QStringLiteral("next")});
    const QStringList longLine = diagnostics.Add(QByteArray(1000, 'y') + '\n');
    ASSERT_EQ(longLine.size(), 1);
    EXPECT_EQ(longLine.front().size(), HelperDiagnostics::kMaxLineCharacters + 3);
    const QStringList flood = diagnostics.Add(QByteArray(HelperDiagnostics::kMaxBytes, '\n'));
    EXPECT_EQ(flood, QStringList{QStringLiteral("(further diagnostics of this helper dropped)")});
    EXPECT_TRUE(diagnostics.Add("more\n").isEmpty());
}

TEST(ExtractorPoolTest, AMissingHelperProgramDoesNotStart) {
    ExtractorPoolOptions options = ScriptedHelpers();
    options.program = QStringLiteral("/nonexistent/quorvid-extractor");
    ExtractorPool pool(options);
    EXPECT_FALSE(pool.Start());
}

TEST(ExtractorPoolTest, NoHelperOutlivesThePoolOrItsParent) {
    QTemporaryDir folder;
    {
        ExtractorPool pool(ScriptedHelpers());
        ASSERT_TRUE(pool.Start());
        pool.Submit(folder.filePath(QStringLiteral("loop.mp4")));
        QThread::msleep(50);
        QCoreApplication::processEvents();
        EXPECT_EQ(ChildPids().size(), 2u);
    }
    EXPECT_TRUE(ChildPids().empty());

    // A parent killed outright (kill -9) takes its helpers with it.
    QProcess parent;
    parent.start(QStringLiteral(QUORVID_SCRIPTED_EXTRACTOR),
                 {QStringLiteral("--pool-parent"), folder.filePath(QStringLiteral("loop.mp4"))});
    ASSERT_TRUE(parent.waitForStarted());
    std::vector<pid_t> helpers;
    QElapsedTimer waited;
    waited.start();
    while (helpers.size() < 2 && waited.elapsed() < 10000) {
        QThread::msleep(20);
        helpers = ChildPids(static_cast<pid_t>(parent.processId()));
    }
    ASSERT_EQ(helpers.size(), 2u);
    kill(static_cast<pid_t>(parent.processId()), SIGKILL);
    parent.waitForFinished();
    waited.restart();
    while (waited.elapsed() < 5000 && std::any_of(helpers.begin(), helpers.end(),
                                                  [](pid_t pid) { return kill(pid, 0) == 0; })) {
        QThread::msleep(20);
    }
    for (const pid_t helper : helpers) {
        EXPECT_NE(kill(helper, 0), 0) << "helper " << helper << " outlived its parent";
    }
}

TEST(ExtractorProtocolTest, FramesSurviveAnySplitAndBrokenStreamsAreRefused) {
    const ExtractionEvent detail{ExtractionEvent::Kind::Detail, 276, 0,
                                 QStringLiteral("File General - Größe"), QStringLiteral("7\n8")};
    const QByteArray stream = protocol::EncodeStepStarted(9, 132) +
                              protocol::EncodeEvent(9, detail) + protocol::EncodeFileDone(9);
    protocol::FrameReader reader;
    std::vector<protocol::Message> messages;
    for (const char byte : stream) {
        reader.Append(&byte, 1);
        while (auto message = reader.Next()) {
            messages.push_back(*message);
        }
    }
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].step, 132);
    EXPECT_EQ(messages[1].id, 9u);
    EXPECT_EQ(messages[1].event.header, detail.header);
    EXPECT_EQ(messages[1].event.text, detail.text);
    EXPECT_EQ(messages[1].event.step, 276);
    EXPECT_EQ(messages[2].type, protocol::MessageType::FileDone);
    EXPECT_FALSE(reader.broken());

    // A frame claiming more than any record holds, and a text running past its frame.
    protocol::FrameReader huge;
    huge.Append(QByteArray("\xff\xff\xff\x7f", 4));
    EXPECT_FALSE(huge.Next());
    EXPECT_TRUE(huge.broken());
    QByteArray cut = protocol::EncodeEvent(1, detail);
    cut[cut.size() - 10] = '\x40';  // the last text's length, now past the frame's end
    protocol::FrameReader garbled;
    garbled.Append(cut);
    EXPECT_FALSE(garbled.Next());
    EXPECT_TRUE(garbled.broken());
}

TEST(ExtractionJournalTest, HoldsTheFileBeingReadUntilItsRecordGoesOutWhole) {
    const auto journal = ExtractionJournal::Create(4096);
    ASSERT_TRUE(journal);
    // Sealed at its size: a helper cannot shrink it under its parent's reads.
    EXPECT_NE(ftruncate(journal->fd(), 100), 0);
    const auto writer = JournalWriter::Open(dup(journal->fd()));
    ASSERT_TRUE(writer);
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);
    const auto piped = [&] {
        QByteArray bytes(65536, '\0');
        const ssize_t got = read(pipeFds[0], bytes.data(), static_cast<size_t>(bytes.size()));
        return got > 0 ? bytes.left(got) : QByteArray();
    };
    const ExtractionEvent cell{ExtractionEvent::Kind::Cell, 136, 1, {}, QStringLiteral("MPEG-4")};

    const std::uint32_t before = journal->Progress();
    auto record = std::make_unique<RecordStream>(pipeFds[1], writer.get(), 7);
    record->StepStarted(132);
    record->Recorded(cell);
    record->StepStarted(136);
    EXPECT_TRUE(piped().isEmpty());
    EXPECT_NE(journal->Progress(), before);
    const auto held = journal->Read(7);
    ASSERT_TRUE(held);
    ASSERT_EQ(held->size(), 3u);
    EXPECT_EQ(held->at(1).event.text, "MPEG-4");
    EXPECT_EQ(held->back().step, 136);
    EXPECT_FALSE(journal->Read(6));
    record->Finish();
    const QByteArray sent = piped();
    EXPECT_EQ(sent, protocol::EncodeStepStarted(7, 132) + protocol::EncodeEvent(7, cell) +
                        protocol::EncodeStepStarted(7, 136) + protocol::EncodeFileDone(7));

    // The next file forgets the last; frames that outgrow the journal go out
    // step by step instead, and the journal no longer claims to hold them.
    record = std::make_unique<RecordStream>(pipeFds[1], writer.get(), 8);
    EXPECT_FALSE(journal->Read(7));
    ASSERT_TRUE(journal->Read(8));
    const ExtractionEvent longCell{ExtractionEvent::Kind::Cell, 132, 1, {}, QString(4096, 'x')};
    record->StepStarted(132);
    record->Recorded(longCell);
    EXPECT_FALSE(journal->Read(8));
    record->StepStarted(136);
    EXPECT_EQ(piped(), protocol::EncodeStepStarted(8, 132) + protocol::EncodeEvent(8, longCell) +
                           protocol::EncodeStepStarted(8, 136));

    // What a helper that is taken over leaves there is not believed.
    writer->Begin(9);
    writer->Append(protocol::EncodeStepStarted(9, 132));
    ASSERT_TRUE(journal->Read(9));
    writer->Append(protocol::EncodeFileDone(9));
    EXPECT_FALSE(journal->Read(9));
    writer->Begin(10);
    writer->Append(protocol::EncodeStepStarted(10, 132).left(6));
    EXPECT_FALSE(journal->Read(10));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

}  // namespace
}  // namespace quorvid
