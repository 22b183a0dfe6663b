#include "extract/ExtractorService.h"

#include <unistd.h>

#include <cerrno>

#include "extract/ExtractorProtocol.h"

namespace quorvid {

namespace {

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Events wait in a buffer until the next step starts: the step's marker goes
// out with them in one write, before the step can hang or crash.
class PipeSink : public ExtractionSink {
  public:
    PipeSink(int fd, std::uint32_t id) : fd_(fd), id_(id) {}

    void StepStarted(int step) override {
        pending_ += protocol::EncodeStepStarted(id_, step);
        Flush();
    }
    void Recorded(const ExtractionEvent& event) override {
        pending_ += protocol::EncodeEvent(id_, event);
    }
    void Finish() {
        pending_ += protocol::EncodeFileDone(id_);
        Flush();
    }

  private:
    void Flush() {
        if (!WriteAll(fd_, pending_)) {
            _exit(0);  // the parent is gone
        }
        pending_.clear();
    }
    int fd_;
    std::uint32_t id_;
    QByteArray pending_;
};

}  // namespace

bool SendReady(int outFd) {
    return WriteAll(outFd, protocol::EncodeReady());
}

int ServeExtractions(const FileExtractor& extractor, int inFd, int outFd) {
    protocol::FrameReader reader;
    char chunk[16 * 1024];
    for (;;) {
        const ssize_t got = read(inFd, chunk, sizeof chunk);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        reader.Append(chunk, got);
        while (const std::optional<protocol::Message> message = reader.Next()) {
            if (message->type != protocol::MessageType::Extract) {
                return 2;
            }
            PipeSink sink(outFd, message->id);
            const auto libraryUse = (message->flags & protocol::kSkipLibrary) != 0
                                        ? FileExtractor::LibraryUse::Skip
                                        : FileExtractor::LibraryUse::Read;
            extractor.Extract(message->path, &sink, libraryUse);
            sink.Finish();
        }
        if (reader.broken()) {
            return 2;
        }
    }
}

}  // namespace quorvid
