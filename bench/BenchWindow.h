#pragma once

// The real window (Form1 with its grid, helpers beside the build's programs) as
// main() makes it, on seams that answer without a person, for the benchmarks
// that click it on the offscreen platform.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ReadersPerFolder.h"
#include "WorkbookFileOnly.h"
#include "core/pool/ExtractorPool.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/platform/SystemServices.h"
#include "window/DesktopServices.h"
#include "window/Form1.h"
#include "window/SystemClipboard.h"

namespace bench {

[[noreturn]] inline void Fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    std::exit(1);
}

// Plain messages are kept; the extension prompt, the folder picker and the
// save dialog answer as set; a report is a fault of the run worth seeing.
class BenchDialogs : public quorvid::Dialogs {
  public:
    void Message(const QString& text) override { messages << text; }
    void Warning(const QString&, const QString& text) override {
        warnings << text;
        std::fprintf(stderr, "[report] %s\n", qPrintable(text));
    }
    bool AskYesNo(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&) override { return inputAnswer; }
    QStringList OpenFiles(const QString&, const QString&) override { return {}; }
    QString SaveFile(const QString&, const QString&) override { return saveAnswer; }
    QString PickFolder(const QString&, const QString&) override { return folderAnswer; }

    QStringList messages;
    QStringList warnings;
    QString inputAnswer;
    QString folderAnswer;
    QString saveAnswer;
};

class NoUrls : public quorvid::UrlOpener {
  public:
    bool Open(const QUrl&) override { return true; }
};

class NoProgramEnd : public quorvid::ProgramEnd {
  public:
    void EndProgram() override {}
};

class BenchWindow {
  public:
    explicit BenchWindow(const QString& work)
        : programFolder_(QDir(work).filePath(QStringLiteral("program"))),
          settings_(QDir(work).filePath(QStringLiteral("settings.ini"))),
          spreadsheet_(QDir(work).filePath(QStringLiteral("results.xlsx"))) {
        // The program folder holds the helper and nothing else: no splash, no skin.
        QDir().mkpath(programFolder_);
        ReadPerFolder(false);
        settings_.SaveSetting(QStringLiteral("Snapshot"), QStringLiteral("taken"));
        platform_.dialogs = &dialogs;
        platform_.settings = &settings_;
        platform_.events = &events_;
        platform_.clock = &clock_;
        platform_.random = &random_;
        platform_.urls = &urls_;
        platform_.programEnd = &programEnd_;
        platform_.clipboard = &clipboard;
        platform_.spreadsheet = &spreadsheet_;
        platform_.programFolder = programFolder_;
        form = std::make_unique<quorvid::Form1>(platform_);
        form->Form_Load();
        form->ShowCentred();
        QCoreApplication::processEvents();
    }

    // The helper beside the window: the real one, or one that reads with a
    // reader per folder, to time the safe default against.
    void ReadPerFolder(bool perFolder) {
        const QString helperName = QString::fromLatin1(quorvid::kExtractorProgramName);
        const QString helper = QFileInfo(QDir(QCoreApplication::applicationDirPath())
                                             .filePath(QStringLiteral("../") + helperName))
                                   .canonicalFilePath();
        if (!QFileInfo(helper).isExecutable()) {
            Fail(QStringLiteral("no helper program beside the benchmark"));
        }
        const QString place = QDir(programFolder_).filePath(helperName);
        QFile::remove(place);
        const bool made = perFolder ? WriteReadersPerFolderHelper(programFolder_, helper)
                                    : QFile::link(helper, place);
        if (!made) {
            Fail(QStringLiteral("cannot put the helper beside the window"));
        }
    }

    // The input list holds paths, and nothing else.
    void List(const QStringList& paths) {
        form->ListView1Items().ClearItems();
        for (const QString& path : paths) {
            form->ListView1Items().AddItem(path);
        }
        QCoreApplication::processEvents();
    }

    // Fails unless every file got its row and the run ended with "Done." and
    // no report.
    void CheckRun(int expectedRows) const {
        const int rows = form->ListView2Items().ItemCount();
        if (rows != expectedRows || dialogs.messages != QStringList{QStringLiteral("Done.")} ||
            !dialogs.warnings.isEmpty()) {
            Fail(QStringLiteral("the window's run went wrong: %1 rows of %2, %3 reports")
                     .arg(rows)
                     .arg(expectedRows)
                     .arg(dialogs.warnings.size()));
        }
    }

    BenchDialogs dialogs;
    quorvid::SystemClipboard clipboard;
    std::unique_ptr<quorvid::Form1> form;

  private:
    QString programFolder_;
    quorvid::SettingsStore settings_;
    quorvid::ThrottledEventPump events_;
    quorvid::SystemClock clock_;
    quorvid::SystemRandom random_;
    NoUrls urls_;
    NoProgramEnd programEnd_;
    WorkbookFileOnly spreadsheet_;
    quorvid::Platform platform_;
};

}  // namespace bench
