#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

#include "extractor/Landlock.h"

namespace quorvid {

// What a reader of one file may still open: the file, the files directly in
// its folder (where formats that refer to other files keep their parts), and
// the read-only system data the libraries use once loaded (the MIME database,
// time zones, user and group names, its own mount table). Folders beneath the
// file's folder may be listed, not read.
//
// The rules of a folder take one rule per entry, so the helper makes them
// once per folder and hands them to each reader it forks; the reader adds a
// second, cheap layer of its own that also holds its own mount table, which a
// rule made before the fork cannot name.
class ReaderConfinement {
  public:
    ReaderConfinement();

    bool hasLandlock() const { return abi_ > 0; }

    // In the helper, before it forks the reader of path.
    std::optional<QString> Prepare(const QString& path);
    // Changes whenever Prepare makes new rules.
    int generation() const { return generation_; }
    // True when a reader confined for the current rules may also read path: a
    // file of the same folder, no link, listed when the rules were made.
    bool Covers(const QString& path) const;
    // In the freshly forked reader of path, the one thread of its process: the
    // file rules, then the reader's system-call filter, for good. Closes every
    // descriptor but standard input, output and error.
    std::optional<QString> Apply(const QString& path) const;

  private:
    bool AllowSystemData(landlock::Ruleset& rules) const;
    // file: also granted in the reader's own layer (it may be a link); empty
    // for none.
    std::optional<QString> Restrict(const QByteArray& folder, const QByteArray& file) const;

    int abi_ = 0;
    QList<QByteArray> systemData_;  // folders and files, read beneath
    QByteArray folder_;             // whose rules these are
    QSet<QByteArray> names_;        // the entries they grant
    std::optional<landlock::Ruleset> folderRules_;
    int generation_ = 0;
};

}  // namespace quorvid
