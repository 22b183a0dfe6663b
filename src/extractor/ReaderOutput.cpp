#include "extractor/ReaderOutput.h"

#include <utility>

namespace quorvid {

bool ReaderOutput::Take(const char* data, qsizetype size) {
    if (refused_) {
        return false;
    }
    frames_.Append(data, size);
    QByteArray bytes;
    while (const auto frame = frames_.SkipNext(&bytes)) {
        if (!Accept(*frame, bytes)) {
            refused_ = true;
            return false;
        }
        bytes.clear();
    }
    refused_ = frames_.broken() || (!heldEnd_.isEmpty() && frames_.pendingBytes() > 0);
    return !refused_;
}

bool ReaderOutput::Accept(const protocol::FrameReader::Header& frame, QByteArray& bytes) {
    using protocol::MessageType;
    const bool recordFrame = frame.type == MessageType::StepStarted ||
                             frame.type == MessageType::Event ||
                             frame.type == MessageType::FileDone;
    if (expected_.empty() || frame.id != expected_.front() || !recordFrame) {
        return false;
    }
    if (frame.type != MessageType::FileDone) {
        passed_ += bytes;
        return true;
    }
    expected_.pop_front();
    (holdLastEnd_ && expected_.empty() ? heldEnd_ : passed_) += bytes;
    return true;
}

QByteArray ReaderOutput::TakePassed() {
    // Once the end is held, the rest goes with it in one write.
    return heldEnd_.isEmpty() ? std::exchange(passed_, {}) : QByteArray();
}

std::optional<QByteArray> ReaderOutput::TakeRestOnClose() {
    if (refused_ || !expected_.empty() || frames_.pendingBytes() > 0) {
        return std::nullopt;
    }
    return std::exchange(passed_, {}) + std::exchange(heldEnd_, {});
}

}  // namespace quorvid
