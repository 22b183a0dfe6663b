#include "core/pool/FileAttempt.h"

namespace quorvid {

FileAttempt::FileAttempt(FileExtractor::LibraryUse libraryUse, const QString& path,
                         const ExtraColumns* extra)
    : libraryUse_(libraryUse),
      path_(path),
      extra_(extra),
      check_(path, extra != nullptr ? *extra : ExtraColumns{}),
      step_(FileExtractor::FirstStep(libraryUse)) {}

FileAttempt::Outcome FileAttempt::Apply(const protocol::Message& message, std::uint32_t id) {
    if (message.id != id) {
        return Outcome::Broken;
    }
    switch (message.type) {
        case protocol::MessageType::StepStarted:
            return Began(message.step);
        case protocol::MessageType::Event:
            return Made(message.event);
        case protocol::MessageType::FileDone:
            return Outcome::FileDone;
        default:
            return Outcome::Broken;
    }
}

bool FileAttempt::TakeJournal(const std::vector<protocol::Message>& messages, bool withEvents) {
    if (withEvents) {
        events_.clear();
        check_ = RecordCheck(path_, extra_ != nullptr ? *extra_ : ExtraColumns{});
    }
    begun_ = false;
    step_ = FileExtractor::FirstStep(libraryUse_);
    for (const protocol::Message& message : messages) {
        const Outcome outcome = message.type == protocol::MessageType::StepStarted
                                    ? Began(message.step)
                                : withEvents ? Made(message.event)
                                             : Outcome::Continues;
        if (outcome == Outcome::Unbelievable) {
            return false;
        }
    }
    return true;
}

bool FileAttempt::Charge(qint64 bytes, qint64 budget) {
    bytes_ += bytes;
    return bytes_ <= budget;
}

void FileAttempt::ForgetEventsPast(ExtractionSource source) {
    std::erase_if(events_,
                  [&](const ExtractionEvent& event) { return SourceOfStep(event.step) > source; });
}

std::vector<ExtractionEvent> FileAttempt::TakeEvents() {
    std::vector<ExtractionEvent> events = std::move(events_);
    events_.clear();
    return events;
}

FileAttempt::Outcome FileAttempt::Began(int step) {
    if (const auto doubt = check_.StepStarted(step)) {
        doubt_ = *doubt;
        return Outcome::Unbelievable;
    }
    begun_ = true;
    step_ = step;
    return Outcome::Continues;
}

FileAttempt::Outcome FileAttempt::Made(const ExtractionEvent& event) {
    if (const auto doubt = check_.Event(event)) {
        doubt_ = *doubt;
        return Outcome::Unbelievable;
    }
    events_.push_back(event);
    return Outcome::Continues;
}

}  // namespace quorvid
