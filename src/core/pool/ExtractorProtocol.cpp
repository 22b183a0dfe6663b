#include "core/pool/ExtractorProtocol.h"

#include <QtEndian>
#include <cstring>

namespace quorvid::protocol {

namespace {

class FrameWriter {
  public:
    FrameWriter(MessageType type, std::uint32_t id) {
        frame_.reserve(64);
        frame_.append(4, '\0');  // the length, filled in by Take
        Byte(static_cast<std::uint8_t>(type));
        Number(id);
    }
    void Byte(std::uint8_t value) { frame_.append(static_cast<char>(value)); }
    void Number(std::uint32_t value) {
        const std::uint32_t little = qToLittleEndian(value);
        frame_.append(reinterpret_cast<const char*>(&little), sizeof little);
    }
    void Text(const QString& text) {
        const auto bytes = static_cast<std::uint32_t>(text.size() * 2);
        Number(bytes);
        const qsizetype at = frame_.size();
        frame_.resize(at + bytes);
        qToLittleEndian<std::uint16_t>(text.utf16(), text.size(), frame_.data() + at);
    }
    QByteArray Take() {
        const std::uint32_t length = qToLittleEndian(static_cast<std::uint32_t>(frame_.size() - 4));
        std::memcpy(frame_.data(), &length, sizeof length);
        return std::move(frame_);
    }

  private:
    QByteArray frame_;
};

// Reads the fields of one frame; any read past its end marks it bad.
class FieldReader {
  public:
    FieldReader(const char* data, qsizetype size) : data_(data), left_(size) {}
    std::uint8_t Byte() {
        if (!Have(1)) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(*data_);
        Skip(1);
        return value;
    }
    std::uint32_t Number() {
        if (!Have(4)) {
            return 0;
        }
        const std::uint32_t value = qFromLittleEndian<std::uint32_t>(data_);
        Skip(4);
        return value;
    }
    QString Text() {
        const std::uint32_t bytes = Number();
        if (bytes % 2 != 0 || !Have(bytes)) {
            bad_ = true;
            return {};
        }
        QString text(static_cast<qsizetype>(bytes / 2), Qt::Uninitialized);
        qFromLittleEndian<std::uint16_t>(data_, text.size(), text.data());
        Skip(bytes);
        return text;
    }
    bool good() const { return !bad_ && left_ == 0; }

  private:
    bool Have(qsizetype bytes) {
        if (left_ < bytes) {
            bad_ = true;
        }
        return !bad_;
    }
    void Skip(qsizetype bytes) {
        data_ += bytes;
        left_ -= bytes;
    }
    const char* data_;
    qsizetype left_;
    bool bad_ = false;
};

bool IsEventKind(std::uint8_t kind) {
    return kind <= static_cast<std::uint8_t>(ExtractionEvent::Kind::Detail);
}

// The fields of one frame after its length; nothing when they do not fit its type.
std::optional<Message> DecodeBody(const char* data, qsizetype size) {
    FieldReader fields(data, size);
    Message message;
    message.type = static_cast<MessageType>(fields.Byte());
    message.id = fields.Number();
    switch (message.type) {
        case MessageType::Extract:
            message.flags = fields.Byte();
            message.slot = fields.Byte();
            message.path = fields.Text();
            break;
        case MessageType::Abandon:
            break;
        case MessageType::ReaderEnded: {
            const std::uint8_t end = fields.Byte();
            if (end > static_cast<std::uint8_t>(ReaderEnd::Abandoned)) {
                return std::nullopt;
            }
            message.end = static_cast<ReaderEnd>(end);
            message.code = fields.Number();
            break;
        }
        case MessageType::StepStarted:
            message.step = static_cast<int>(fields.Number());
            break;
        case MessageType::Event: {
            const std::uint8_t kind = fields.Byte();
            if (!IsEventKind(kind)) {
                return std::nullopt;
            }
            message.event.kind = static_cast<ExtractionEvent::Kind>(kind);
            message.event.step = static_cast<int>(fields.Number());
            message.event.cell = static_cast<int>(fields.Number());
            message.event.header = fields.Text();
            message.event.text = fields.Text();
            break;
        }
        case MessageType::Ready:
        case MessageType::Refused:
            message.text = fields.Text();
            break;
        case MessageType::FileDone:
            break;
        default:
            return std::nullopt;
    }
    if (!fields.good()) {
        return std::nullopt;
    }
    message.frameBytes = 4 + size;
    return message;
}

}  // namespace

QByteArray EncodeExtract(std::uint32_t id, const QString& path, std::uint8_t flags,
                         std::uint8_t slot) {
    FrameWriter frame(MessageType::Extract, id);
    frame.Byte(flags);
    frame.Byte(slot);
    frame.Text(path);
    return frame.Take();
}

QByteArray EncodeAbandon(std::uint32_t id) {
    return FrameWriter(MessageType::Abandon, id).Take();
}

QByteArray EncodeReaderEnded(std::uint32_t id, ReaderEnd end, std::uint32_t code) {
    FrameWriter frame(MessageType::ReaderEnded, id);
    frame.Byte(static_cast<std::uint8_t>(end));
    frame.Number(code);
    return frame.Take();
}

QByteArray EncodeReady(const QString& note) {
    FrameWriter frame(MessageType::Ready, 0);
    frame.Text(note);
    return frame.Take();
}

QByteArray EncodeRefused(const QString& reason) {
    FrameWriter frame(MessageType::Refused, 0);
    frame.Text(reason);
    return frame.Take();
}

QByteArray EncodeStepStarted(std::uint32_t id, int step) {
    FrameWriter frame(MessageType::StepStarted, id);
    frame.Number(static_cast<std::uint32_t>(step));
    return frame.Take();
}

QByteArray EncodeEvent(std::uint32_t id, const ExtractionEvent& event) {
    FrameWriter frame(MessageType::Event, id);
    frame.Byte(static_cast<std::uint8_t>(event.kind));
    frame.Number(static_cast<std::uint32_t>(event.step));
    frame.Number(static_cast<std::uint32_t>(event.cell));
    frame.Text(event.header);
    frame.Text(event.text);
    return frame.Take();
}

QByteArray EncodeFileDone(std::uint32_t id) {
    return FrameWriter(MessageType::FileDone, id).Take();
}

std::optional<std::uint32_t> FrameReader::NextLength() {
    if (broken_ || pendingBytes() < 4) {
        return std::nullopt;
    }
    const std::uint32_t length = qFromLittleEndian<std::uint32_t>(buffer_.constData() + position_);
    if (length > kMaxFrameBytes || length < 5) {
        broken_ = true;
        return std::nullopt;
    }
    if (pendingBytes() < 4 + static_cast<qsizetype>(length)) {
        return std::nullopt;
    }
    return length;
}

void FrameReader::Consume(std::uint32_t length) {
    position_ += 4 + length;
    // Read frames are dropped once they are many or all.
    if (position_ == buffer_.size()) {
        buffer_.clear();
        position_ = 0;
    } else if (position_ > 64 * 1024) {
        buffer_.remove(0, position_);
        position_ = 0;
    }
}

std::optional<FrameReader::Header> FrameReader::SkipNext(QByteArray* copy) {
    const std::optional<std::uint32_t> length = NextLength();
    if (!length) {
        return std::nullopt;
    }
    if (copy != nullptr) {
        copy->append(buffer_.constData() + position_, 4 + static_cast<qsizetype>(*length));
    }
    FieldReader fields(buffer_.constData() + position_ + 4, *length);
    const auto type = static_cast<MessageType>(fields.Byte());
    const std::uint32_t id = fields.Number();
    Consume(*length);
    return Header{type, id};
}

std::optional<Message> FrameReader::Next() {
    const std::optional<std::uint32_t> length = NextLength();
    if (!length) {
        return std::nullopt;
    }
    std::optional<Message> message = DecodeBody(buffer_.constData() + position_ + 4, *length);
    if (!message) {
        broken_ = true;
        return std::nullopt;
    }
    Consume(*length);
    return message;
}

std::optional<Message> DecodeFrame(const char* frame, qsizetype size) {
    if (size < 4 ||
        qFromLittleEndian<std::uint32_t>(frame) != static_cast<std::uint32_t>(size - 4)) {
        return std::nullopt;
    }
    return DecodeBody(frame + 4, size - 4);
}

}  // namespace quorvid::protocol
