#include "batch/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace quorvid {

namespace {

constexpr qint64 kMillisecondsBetweenDraws = 100;

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

ProgressLine::ProgressLine(bool wanted) : enabled_(wanted && isatty(STDERR_FILENO) == 1) {
    sinceStart_.start();
}

void ProgressLine::Show(qsizetype done, qsizetype total, const QString& currentName) {
    if (!enabled_ || (sinceDraw_.isValid() && sinceDraw_.elapsed() < kMillisecondsBetweenDraws)) {
        return;
    }
    sinceDraw_.start();
    const double seconds = static_cast<double>(sinceStart_.elapsed()) / 1000;
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    QString line =
        QStringLiteral("%1 of %2 files, %3 files/s  ").arg(done).arg(total).arg(rate, 0, 'f', 1);
    // A name with control characters would move the cursor.
    for (const QChar character : currentName) {
        line.append(character.isPrint() ? character : QChar(u'?'));
    }
    // A line longer than the terminal would wrap and leave its head behind.
    line.truncate(TerminalColumns() - 1);
    const QByteArray bytes = "\r" + line.toLocal8Bit() + "\x1b[K";
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (shown_) {
        std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }
}

}  // namespace quorvid
