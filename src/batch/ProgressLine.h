#pragma once

#include <QElapsedTimer>
#include <QString>

namespace quorvid {

// The one progress line on standard error: files done of total, files per
// second, the time left and the current file's name, redrawn at most ten
// times a second. It stays off unless standard error is a terminal.
class ProgressLine {
  public:
    explicit ProgressLine(bool wanted);

    // The pace is measured from the first call.
    void Show(qsizetype done, qsizetype total, const QString& currentName);
    // Takes the line off the screen, e.g. before another message is written.
    void Clear();

  private:
    bool enabled_;
    bool shown_ = false;
    QElapsedTimer sinceStart_;
    QElapsedTimer sinceDraw_;
};

}  // namespace quorvid
