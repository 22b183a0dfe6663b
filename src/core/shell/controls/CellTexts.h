#pragma once

#include <QString>
#include <vector>

namespace quorvid {

// The texts of a table's cells, each distinct text kept once under a small
// number: a grid of a hundred thousand rows says "AVC", "Yes" or its folder in
// one column after another, and keeping each cell's own copy would cost a few
// kilobytes a row. Number 0 is the empty text.
class CellTexts {
  public:
    using Id = quint32;

    CellTexts();

    // The number of text, the same for equal texts.
    Id Intern(const QString& text);
    const QString& Text(Id id) const { return texts_[id]; }
    // Forgets every text but the empty one; numbers handed out before are void.
    void Clear();
    // How many distinct texts are kept, the empty one included.
    qsizetype Count() const { return static_cast<qsizetype>(texts_.size()); }

  private:
    // Where text is or would go in slots_.
    size_t SlotOf(const QString& text) const;
    void Grow();

    std::vector<QString> texts_;
    // Open addressing over texts_: each slot holds a number, 0 where it is free.
    std::vector<Id> slots_;
};

}  // namespace quorvid
