// What the helper lets through of a reader's output.
#include <gtest/gtest.h>

#include "core/pool/ExtractorProtocol.h"
#include "extractor/ReaderOutput.h"

namespace quorvid {
namespace {

using namespace protocol;

QByteArray Record(std::uint32_t id) {
    return EncodeStepStarted(id, 132) +
           EncodeEvent(id, {ExtractionEvent::Kind::Cell, 136, 1, {}, QStringLiteral("MPEG-4")}) +
           EncodeFileDone(id);
}

bool Take(ReaderOutput& output, const QByteArray& bytes) {
    return output.Take(bytes.constData(), bytes.size());
}

TEST(ReaderOutputTest, PassesItsOwnRecordWholeOnceItsOutputCloses) {
    ReaderOutput output(true);
    output.Expect(7);
    const QByteArray record = Record(7);
    // Cut anywhere, as a pipe may cut it.
    ASSERT_TRUE(Take(output, record.left(3)));
    ASSERT_TRUE(Take(output, record.mid(3, 20)));
    const QByteArray early = output.TakePassed();
    ASSERT_TRUE(Take(output, record.mid(23)));
    EXPECT_TRUE(output.finished());
    EXPECT_EQ(early + output.TakePassed() + output.TakeRestOnClose().value(), record);
}

TEST(ReaderOutputTest, RefusesWhatIsNotItsOwnRecord) {
    for (const QByteArray& bytes :
         {EncodeStepStarted(8, 132), Record(7) + EncodeStepStarted(7, 132), Record(7) + Record(8),
          Record(7) + QByteArray(2, '\0'), EncodeExtract(7, QStringLiteral("/a"), 0),
          QByteArray(8, '\xff')}) {
        ReaderOutput output(true);
        output.Expect(7);
        EXPECT_FALSE(Take(output, bytes)) << bytes.toHex().constData();
        EXPECT_FALSE(output.TakeRestOnClose());
    }
    // Closed before its end: unfinished, nothing more passes.
    ReaderOutput cut(true);
    cut.Expect(7);
    EXPECT_TRUE(Take(cut, Record(7).chopped(3)));
    EXPECT_FALSE(cut.TakeRestOnClose());
}

TEST(ReaderOutputTest, AReaderOfARunPassesEachEndAsItComes) {
    ReaderOutput output(false);
    output.Expect(7);
    output.Expect(8);
    EXPECT_TRUE(Take(output, Record(7)));
    EXPECT_EQ(output.TakePassed(), Record(7));
    EXPECT_FALSE(Take(output, Record(9)));
}

}  // namespace
}  // namespace quorvid
