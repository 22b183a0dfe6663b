#include "batch/FileList.h"

namespace quorvid {

bool FileList::StartReading() {
    held_.clear();
    firstHeld_ = 1;
    return spool_.Rewind();
}

std::optional<QString> FileList::At(qsizetype position) {
    if (position < firstHeld_) {
        return std::nullopt;
    }
    while (firstHeld_ + qsizetype(held_.size()) <= position) {
        std::optional<QString> next = spool_.NextText();
        if (!next) {
            return std::nullopt;
        }
        held_.push_back(std::move(*next));
    }
    return held_[size_t(position - firstHeld_)];
}

void FileList::LetGoBefore(qsizetype position) {
    while (firstHeld_ < position && !held_.empty()) {
        held_.pop_front();
        ++firstHeld_;
    }
}

}  // namespace quorvid
