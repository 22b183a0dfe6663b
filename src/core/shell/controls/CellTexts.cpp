#include "core/shell/controls/CellTexts.h"

#include <QHash>

namespace quorvid {

namespace {

constexpr size_t kFirstSlotCount = 64;

}  // namespace

CellTexts::CellTexts() {
    Clear();
}

CellTexts::Id CellTexts::Intern(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    const size_t slot = SlotOf(text);
    if (slots_[slot] != 0) {
        return slots_[slot];
    }
    const auto id = static_cast<Id>(texts_.size());
    QString kept = text;
    // A text built by appending may carry spare room that every row would keep.
    if (kept.capacity() > kept.size()) {
        kept.squeeze();
    }
    texts_.push_back(std::move(kept));
    slots_[slot] = id;
    // At most half the slots in use keeps the probes short.
    if (texts_.size() * 2 > slots_.size()) {
        Grow();
    }
    return id;
}

void CellTexts::Clear() {
    texts_.assign(1, QString());
    texts_.shrink_to_fit();
    slots_.assign(kFirstSlotCount, 0);
    slots_.shrink_to_fit();
}

size_t CellTexts::SlotOf(const QString& text) const {
    const size_t mask = slots_.size() - 1;
    size_t slot = qHash(text) & mask;
    while (slots_[slot] != 0 && texts_[slots_[slot]] != text) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

void CellTexts::Grow() {
    slots_.assign(slots_.size() * 2, 0);
    for (Id id = 1; id < texts_.size(); ++id) {
        slots_[SlotOf(texts_[id])] = id;
    }
}

}  // namespace quorvid
