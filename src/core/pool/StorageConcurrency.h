#pragma once

#include <QHash>
#include <QString>

#include "core/pool/StorageMap.h"

namespace quorvid {

// How many files of one storage are read at once. Where reading costs nothing
// that is about the processor count; a share answers each request late but
// many side by side, so more files in flight keep it busy while the processors
// idle; a single spinning head serves one stream best. Which it is, the files
// that finish tell: from a start by kind, the count is halved while that reads
// as many files a second, doubled while that reads more, and kept where
// neither helps.
//
// A storage whose files time out several in a row is not answering: its other
// files are not waited for.
class StorageConcurrency {
  public:
    // Files in a row that time out before a storage counts as not answering.
    static constexpr int kTimeoutsToGiveUp = 3;

    // processors: where reading costs nothing; most: the readers there are.
    StorageConcurrency(int processors, int most);

    // How many files of the storage may be read at once now.
    int Limit(const Storage& storage);
    // A file of the storage was read; seconds: a steady clock.
    void Completed(const QString& device, double seconds);
    // A file of the storage was given up: it did not answer in time.
    void TimedOut(const QString& device);
    bool Answering(const QString& device) const;
    // What was chosen, for a progress line: "8 files at once".
    QString Said() const;
    // "1 file at once", "8 files at once".
    static QString FilesAtOnce(int count);

  private:
    struct Pace {
        int limit = 1;
        int bestLimit = 1;
        double bestRate = 0;
        int direction = 0;    // +1 trying more, -1 trying fewer, 0 settled
        bool turned = false;  // the other way was tried since the last settling
        int windowFiles = 0;
        int draining = 0;  // completions left of files begun under another count
        double windowStart = -1;
        int settledWindows = 0;
        int timeoutsInARow = 0;
    };
    int StartFor(Storage::Kind kind) const;
    void EndWindow(Pace& pace, double rate);
    void Try(Pace& pace, int limit, int direction);
    void Turn(Pace& pace);

    int processors_;
    int most_;
    QHash<QString, Pace> paces_;
    QString lastDevice_;
};

}  // namespace quorvid
