#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvid {

// Turns what a helper writes to its standard error into lines that are safe
// to show: a taken-over helper may write anything, and a terminal obeys escape
// sequences. Lines are cleaned (TerminalText) and cut short, and past a budget
// the rest is dropped with one line saying so.
class HelperDiagnostics {
  public:
    static constexpr qsizetype kMaxLineCharacters = 400;
    static constexpr qsizetype kMaxBytes = 64 * 1024;

    // The whole lines that bytes complete.
    QStringList Add(const QByteArray& bytes);
    // What is left once the helper has ended.
    QStringList Finish();

  private:
    QStringList TakeLines(bool all);

    QByteArray pending_;
    qsizetype received_ = 0;
    bool dropped_ = false;
};

}  // namespace quorvid
