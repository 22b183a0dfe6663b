#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <optional>

#include "core/pool/ExtractorProtocol.h"

namespace quorvid {

// What the helper lets through of a reader's output. The reader's code may be
// the file's by now, and it may know other requests' ids, so only whole frames
// of the requests it was given pass, in order; anything else (another id, no
// record frame, a broken frame, anything after its last end-of-file frame) is
// a reader to end at once. The end-of-file frame of its last request is held
// until its output closes, when no more can come that would belie it.
class ReaderOutput {
  public:
    // holdLastEnd: the reader is given no request after those it expects.
    explicit ReaderOutput(bool holdLastEnd) : holdLastEnd_(holdLastEnd) {}

    // A request the reader was given; its frames may come after those of the
    // requests before it.
    void Expect(std::uint32_t id) { expected_.push_back(id); }
    // Takes bytes the reader sent; false once it sent anything it may not.
    bool Take(const char* data, qsizetype size);
    // Whole frames that may go to the parent now; none once the end is held.
    QByteArray TakePassed();
    // Once the output has closed: what is left to pass (the held end-of-file
    // frame); nothing when a request is unfinished or a frame was cut off.
    std::optional<QByteArray> TakeRestOnClose();
    // Every request it was given has its end-of-file frame.
    bool finished() const { return expected_.empty(); }

  private:
    bool Accept(const protocol::FrameReader::Header& frame, QByteArray& bytes);

    bool holdLastEnd_;
    std::deque<std::uint32_t> expected_;
    protocol::FrameReader frames_;
    QByteArray passed_;
    QByteArray heldEnd_;
    bool refused_ = false;
};

}  // namespace quorvid
