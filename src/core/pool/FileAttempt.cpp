#include "core/pool/FileAttempt.h"

namespace quorvid {

FileAttempt::FileAttempt(FileExtractor::LibraryUse libraryUse)
    : libraryUse_(libraryUse), step_(FileExtractor::FirstStep(libraryUse)) {}

FileAttempt::Outcome FileAttempt::Apply(const protocol::Message& message, std::uint32_t id) {
    if (message.id != id) {
        return Outcome::Broken;
    }
    switch (message.type) {
        case protocol::MessageType::StepStarted:
            Began(message.step);
            return Outcome::Continues;
        case protocol::MessageType::Event:
            events_.push_back(message.event);
            return Outcome::Continues;
        case protocol::MessageType::FileDone:
            return Outcome::FileDone;
        default:
            return Outcome::Broken;
    }
}

void FileAttempt::TakeJournal(const std::vector<protocol::Message>& messages, bool withEvents) {
    events_.clear();
    begun_ = false;
    step_ = FileExtractor::FirstStep(libraryUse_);
    for (const protocol::Message& message : messages) {
        if (message.type == protocol::MessageType::StepStarted) {
            Began(message.step);
        } else if (withEvents) {
            events_.push_back(message.event);
        }
    }
}

bool FileAttempt::Charge(qint64 bytes, qint64 budget) {
    bytes_ += bytes;
    return bytes_ <= budget;
}

std::vector<ExtractionEvent> FileAttempt::TakeEvents() {
    std::vector<ExtractionEvent> events = std::move(events_);
    events_.clear();
    return events;
}

void FileAttempt::Began(int step) {
    begun_ = true;
    step_ = step;
}

}  // namespace quorvid
