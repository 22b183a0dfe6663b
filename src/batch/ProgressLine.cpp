#include "batch/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "core/shell/texts/TerminalText.h"

namespace quorvid {

namespace {

constexpr qint64 kMillisecondsBetweenDraws = 100;
// The pace of fewer files, or of a shorter time, says little of the rest.
constexpr qsizetype kFilesBeforeEstimate = 3;
constexpr qint64 kMillisecondsBeforeEstimate = 1000;

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

// The time the files left take at the pace of those done; empty while too few
// files or too little time went by for the pace to mean anything.
QString TimeLeft(qsizetype done, qsizetype total, qint64 elapsedMilliseconds) {
    if (done < kFilesBeforeEstimate || elapsedMilliseconds < kMillisecondsBeforeEstimate) {
        return {};
    }
    const qint64 seconds = (elapsedMilliseconds * (total - done) / done + 999) / 1000;
    if (seconds < 60) {
        return QStringLiteral("%1 s left").arg(seconds);
    }
    if (seconds < 3600) {
        return QStringLiteral("%1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
    }
    return QStringLiteral("%1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

}  // namespace

ProgressLine::ProgressLine(bool wanted) : enabled_(wanted && isatty(STDERR_FILENO) == 1) {}

bool ProgressLine::DrawDue() {
    if (!enabled_ || (sinceDraw_.isValid() && sinceDraw_.elapsed() < kMillisecondsBetweenDraws)) {
        return false;
    }
    sinceDraw_.start();
    return true;
}

void ProgressLine::Draw(QString line) {
    // A line longer than the terminal would wrap and leave its head behind.
    line.truncate(TerminalColumns() - 1);
    const QByteArray bytes = "\r" + line.toLocal8Bit() + "\x1b[K";
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    shown_ = true;
}

void ProgressLine::Show(qsizetype done, qsizetype total, const QString& currentName) {
    if (!sinceStart_.isValid()) {
        sinceStart_.start();
    }
    if (!DrawDue()) {
        return;
    }
    const qint64 elapsed = sinceStart_.elapsed();
    const double rate = elapsed > 0 ? static_cast<double>(done) * 1000 / elapsed : 0;
    QString line =
        QStringLiteral("%1 of %2 files, %3 files/s").arg(done).arg(total).arg(rate, 0, 'f', 1);
    const QString timeLeft = TimeLeft(done, total, elapsed);
    if (!timeLeft.isEmpty()) {
        line += QStringLiteral(", ") + timeLeft;
    }
    if (!reading_.isEmpty()) {
        line += QStringLiteral(", ") + reading_;
    }
    line += QStringLiteral("  ");
    // A name with control characters would move the cursor.
    line += TerminalText(currentName);
    Draw(std::move(line));
}

void ProgressLine::ShowWriting(qsizetype written, qsizetype total) {
    if (DrawDue()) {
        Draw(QStringLiteral("all %1 files read; writing the rows: %2 of %1")
                 .arg(total)
                 .arg(written));
    }
}

void ProgressLine::Clear() {
    if (shown_) {
        std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }
}

}  // namespace quorvid
