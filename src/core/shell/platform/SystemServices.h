#pragma once

#include <QString>
#include <QUrl>

namespace quorvid {

class Clock {
  public:
    virtual ~Clock() = default;
    // Seconds since midnight, with fraction, as the time-of-day clock gives them.
    virtual double SecondsSinceMidnight() const = 0;
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual void Seed(double seed) = 0;
    // A uniform number in [0, 1).
    virtual double NextUniform() = 0;
};

class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    // Hands a web address or a folder to the desktop; false when nothing took it.
    virtual bool Open(const QUrl& url) = 0;
};

class ProgramEnd {
  public:
    virtual ~ProgramEnd() = default;
    // Ends the process at once; no code of the program runs afterwards.
    virtual void EndProgram() = 0;
};

}  // namespace quorvid
