#include <gtest/gtest.h>

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtraction.h"
#include "core/extraction/RecordLimits.h"
#include "core/pool/FileAttempt.h"
#include "core/pool/RecordCheck.h"
#include "core/shell/report/ReportSteps.h"
#include "core/shell/texts/TerminalText.h"

namespace quorvid {
namespace {

using Kind = ExtractionEvent::Kind;
using namespace step::extract;

const QString kPath = QStringLiteral("/v/tab\there.mp4");

ExtractionEvent Cell(int cell, const QString& text, int step = 0) {
    return {Kind::Cell,
            step != 0 ? step : (cell < kFirstFileCell ? LibraryCellStep(cell) : FileCellStep(cell)),
            cell,
            {},
            text};
}
ExtractionEvent Detail(const QString& header, const QString& text) {
    return {Kind::Detail, kFindColumn, 0, header, text};
}
ExtractionEvent Failure(int step, const QString& text) {
    return {Kind::Failure, step, 0, {}, text};
}

// Everything a real extraction sends is believed, however it is spelt.
TEST(RecordCheck, ARealRecordIsBelieved) {
    RecordCheck check(kPath);
    EXPECT_FALSE(check.StepStarted(kNewHandle));
    EXPECT_FALSE(check.Event(Cell(1, QStringLiteral("MPEG-4"))));
    EXPECT_FALSE(check.Event(Failure(LibraryCellStep(2), QStringLiteral("no library"))));
    EXPECT_FALSE(check.Event(Cell(42, QStringLiteral("tab\there.mp4"))));
    EXPECT_FALSE(check.Event(Failure(kGetFile, QStringLiteral("gone"))));
    EXPECT_FALSE(check.Event(Detail(QStringLiteral("File General - Comment"),
                                    QStringLiteral("two\nlines \U0001F3AC \u200d"))));
    EXPECT_FALSE(
        check.Event(Detail(QStringLiteral("File General - Size"), QStringLiteral("1 kB"))));
    EXPECT_FALSE(check.Event(Failure(kOpenShellFolder, QStringLiteral("no folder"))));
    EXPECT_FALSE(check.Event(Cell(52, QString(limits::kMaxTextCharacters, u'x'))));
}

TEST(RecordCheck, WhatNoRealExtractionSendsIsNamed) {
    const auto doubt = [](std::vector<ExtractionEvent> events) {
        RecordCheck check(kPath);
        std::optional<QString> found;
        for (const ExtractionEvent& event : events) {
            if (!found) {
                found = check.Event(event);
            }
        }
        return found.value_or(QStringLiteral("(believed)"));
    };
    const QString longText(limits::kMaxTextCharacters + 1, u'x');
    EXPECT_EQ(doubt({Cell(0, {})}), "a cell outside the catalogue");
    EXPECT_EQ(doubt({Cell(53, {})}), "a cell outside the catalogue");
    EXPECT_EQ(doubt({Cell(3, {}, LibraryCellStep(4))}), "cell 3 at a step not its own");
    EXPECT_EQ(doubt({Cell(3, {}), Cell(3, {})}), "cell 3 twice");
    EXPECT_EQ(doubt({Detail(QStringLiteral("File General - Made Up"), QStringLiteral("x"))}),
              "a detail column that the desktop does not have");
    EXPECT_EQ(doubt({Detail(QStringLiteral("File General - Name"), QStringLiteral("x"))}),
              "a detail column that the desktop does not have");
    EXPECT_EQ(doubt({Detail(QStringLiteral("File General - Size"), QStringLiteral("1")),
                     Detail(QStringLiteral("File General - Size"), QStringLiteral("2"))}),
              "one detail column twice");
    EXPECT_EQ(doubt({Failure(131, {})}), "a failure of a step that no extraction has");
    EXPECT_EQ(doubt({Failure(kOpenFile, {}), Failure(kCloseFile, {})}),
              "a second failure where the first one ends the reading");
    EXPECT_EQ(doubt({Cell(1, longText)}), "a text of more than 65536 characters");
    EXPECT_EQ(doubt({Failure(kOpenFile, QString(limits::kMaxFailureCharacters + 1, u'x'))}),
              "a failure of more than 8704 characters");
    EXPECT_EQ(doubt({Cell(1, QStringLiteral("\x1b[2J"))}), "a text with control characters");
    EXPECT_EQ(doubt({Cell(1, QStringLiteral("\u009b"))}), "a text with control characters");
    EXPECT_EQ(doubt({Cell(1, QStringLiteral("a\u202eb"))}), "a text with control characters");
    EXPECT_EQ(doubt({Cell(1, QString(QChar(0xD800)))}), "a text that is not valid Unicode");
    std::vector<ExtractionEvent> large;
    for (int cell = 1; cell <= 5; ++cell) {
        large.push_back(Cell(cell, QString(limits::kMaxTextCharacters, u'x')));
    }
    EXPECT_EQ(doubt(large), "more than 262144 characters of text");
    EXPECT_TRUE(RecordCheck(kPath).StepStarted(131));
}

// The columns a run asks for beyond the catalogue: each at its step, once,
// a checksum only as its exact digits, and no cell past them.
TEST(RecordCheck, ExtraColumnsAreBelievedOnlyAsTheRunAskedForThem) {
    ExtraColumns extra;
    extra.fields = {{StreamKind::Audio, L"Language"}, {StreamKind::General, L"AudioCount"}};
    extra.checksum = ChecksumKind::Md5;
    const QString md5 = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    const auto doubt = [&](std::vector<ExtractionEvent> events) {
        RecordCheck check(kPath, extra);
        std::optional<QString> found;
        for (const ExtractionEvent& event : events) {
            if (!found) {
                found = check.Event(event);
            }
        }
        return found.value_or(QStringLiteral("(believed)"));
    };
    EXPECT_EQ(doubt({Cell(53, QStringLiteral("en"), kExtraField), Cell(54, {}, kExtraField),
                     Cell(55, md5, kChecksum), Failure(kChecksum, QStringLiteral("changed"))}),
              "(believed)");
    EXPECT_EQ(doubt({Cell(56, {}, kExtraField)}), "a cell outside the catalogue");
    EXPECT_EQ(doubt({Cell(53, {}, kChecksum)}), "cell 53 at a step not its own");
    EXPECT_EQ(doubt({Cell(54, {}, kExtraField), Cell(54, {}, kExtraField)}), "cell 54 twice");
    for (const QString& forged :
         {md5.toUpper(), md5.left(31), md5 + u'0', QString(32, u'g'), QString()}) {
        EXPECT_EQ(doubt({Cell(55, forged, kChecksum)}), "a checksum that is not 32 hex digits")
            << forged.toStdString();
    }
    // Without the columns, none of them.
    EXPECT_EQ(RecordCheck(kPath).Event(Cell(53, QStringLiteral("en"), kExtraField)),
              "a cell outside the catalogue");
}

// A journal left by a helper that died is read with the same suspicion.
TEST(RecordCheck, AJournalIsBelievedAsFarAsAPipe) {
    const auto message = [](const ExtractionEvent& event) {
        protocol::Message m;
        m.type = protocol::MessageType::Event;
        m.id = 7;
        m.event = event;
        return m;
    };
    protocol::Message step;
    step.type = protocol::MessageType::StepStarted;
    step.id = 7;
    step.step = kOpenFile;
    FileAttempt attempt(FileExtractor::LibraryUse::Read, kPath);
    EXPECT_TRUE(attempt.TakeJournal({step, message(Cell(1, QStringLiteral("MPEG-4")))}, true));
    EXPECT_EQ(attempt.step(), kOpenFile);
    EXPECT_FALSE(attempt.TakeJournal(
        {step, message(Cell(1, QStringLiteral("a"))), message(Cell(1, QStringLiteral("b")))},
        true));
    EXPECT_EQ(attempt.doubt(), "cell 1 twice");
    EXPECT_EQ(attempt.TakeEvents().size(), 1u);
}

TEST(TerminalText, OnlyWhatPrintsReachesTheTerminal) {
    EXPECT_EQ(TerminalText(QStringLiteral("a\tb\nc\rd")), "a b c d");
    EXPECT_EQ(TerminalText(QStringLiteral("\x1b[2J\x1b]0;owned\x07 typed")), "[2J]0;owned typed");
    EXPECT_EQ(TerminalText(QStringLiteral("\u009b31m red \u202egnirts\u2066x\u2069")),
              "31m red gnirtsx");
    EXPECT_EQ(TerminalText(QStringLiteral("vid\u00e9o \U0001F3AC") + QChar(0xD800)),
              QStringLiteral("vid\u00e9o \U0001F3AC"));
}

}  // namespace
}  // namespace quorvid
