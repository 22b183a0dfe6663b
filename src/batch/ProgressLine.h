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
    // How many files are read at once, as the helpers chose it ("8 files at
    // once"), said on the line from now on; empty for nothing.
    void SetReading(const QString& reading) { reading_ = reading; }
    // Then, for the formats whose rows wait for the last one: rows written.
    void ShowWriting(qsizetype written, qsizetype total);
    // Takes the line off the screen, e.g. before another message is written.
    void Clear();

  private:
    QString reading_;
    // At most ten times a second, and only on a terminal.
    bool DrawDue();
    void Draw(QString line);

    bool enabled_;
    bool shown_ = false;
    QElapsedTimer sinceStart_;
    QElapsedTimer sinceDraw_;
};

}  // namespace quorvid
