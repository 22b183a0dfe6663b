#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include "batch/BatchProgram.h"
#include "support/SlowStorage.h"

namespace quorvid {
namespace {

QString Media(const char* name) {
    return QDir(QStringLiteral(QUORVID_TEST_MEDIA_DIR)).filePath(QString::fromUtf8(name));
}

// What a program prints, without its last line break.
QString Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    return QString::fromUtf8(process.readAllStandardOutput()).chopped(1);
}

QString CellOf(const QByteArray& line, const QString& header) {
    return QJsonDocument::fromJson(line).object().value(header).toString();
}

QList<QByteArray> Lines(const QByteArray& text) {
    return text.trimmed().split('\n');
}

// The checksum in the row of a file.
QString SumOf(const QByteArray& lines, const QString& path) {
    for (const QByteArray& line : Lines(lines)) {
        if (line.startsWith("{\"Video File/s\":\"" + path.toUtf8() + "\",")) {
            return CellOf(line, QStringLiteral("SHA-256"));
        }
    }
    return {};
}

TEST(ArchivistTest, ExtraFieldsAreTheMediainfoProgramsTextsInTheirPlace) {
    const QStringList fields = {
        "General;Audio_Language_List", "General;Text_Language_List",      "General;AudioCount",
        "Audio;Format_Settings_SBR",   "Video;Format_Settings_RefFrames", "Audio;SamplingRate"};
    QStringList arguments = {QStringLiteral("-q"), QStringLiteral("--format"),
                             QStringLiteral("json")};
    for (const QString& field : fields) {
        arguments << QStringLiteral("--field") << field;
    }
    const QStringList files = {Media("tracks/languages.mkv"), Media("h264-aac.mp4"),
                               Media("mpeg4-mp3.avi"), Media("vp8-silent.webm")};
    const Finished run = RunBatch(arguments + files);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QList<QByteArray> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        for (const QString& field : fields) {
            const QString kind = field.section(u';', 0, 0);
            const QString parameter = field.section(u';', 1);
            // The program repeats the template for every stream of the kind: the
            // first stream's text comes before the first bar.
            const QString inform = QStringLiteral("--Inform=") + kind + QStringLiteral(";%") +
                                   parameter + QStringLiteral("%|");
            const QString expected =
                Output(QStringLiteral("mediainfo"), {inform, files[i]}).section(u'|', 0, 0);
            EXPECT_EQ(CellOf(lines[i], kind + QStringLiteral(" - ") + parameter), expected)
                << field.toStdString() << " of " << files[i].toStdString();
        }
    }
    EXPECT_EQ(CellOf(lines[0], QStringLiteral("General - Audio_Language_List")),
              QStringLiteral("English / French"));
    EXPECT_EQ(CellOf(lines[0], QStringLiteral("General - Text_Language_List")),
              QStringLiteral("German"));
    EXPECT_EQ(CellOf(lines[0], QStringLiteral("General - AudioCount")), QStringLiteral("2"));
    // After the 53 catalogue columns, before the details, written even when empty.
    const QByteArray silent = lines[3];
    const qsizetype type = silent.indexOf("\"File System - Type\"");
    const qsizetype first = silent.indexOf("\"General - Audio_Language_List\":\"\"");
    const qsizetype last = silent.indexOf("\"Audio - SamplingRate\":\"\"");
    const qsizetype detail = silent.indexOf("\"File General - ");
    EXPECT_TRUE(type < first && first < last && last < detail) << silent.constData();
}

TEST(ArchivistTest, ChecksumsAreThoseOfTheSystemsSumPrograms) {
    const QStringList files = {Media("tracks/languages.mkv"), Media("vidéo ñ.mov"),
                               Media("empty.mp4")};
    const std::vector<std::pair<const char*, const char*>> kinds = {
        {"sha256", "SHA-256"}, {"md5", "MD5"}, {"sha1", "SHA-1"}};
    for (const auto& [name, header] : kinds) {
        const Finished run =
            RunBatch(QStringList{QStringLiteral("-q"), QStringLiteral("--format=json"),
                                 QStringLiteral("--hash"), QString::fromLatin1(name)} +
                     files);
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        const QList<QByteArray> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), files.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QString sum =
                Output(QString::fromLatin1(name) + QStringLiteral("sum"), {files[i]})
                    .section(u' ', 0, 0);
            EXPECT_EQ(CellOf(lines[i], QString::fromLatin1(header)), sum) << name;
        }
        // The checksum is the last column before the details.
        EXPECT_TRUE(lines[0].contains(QStringLiteral("\",\"%1\":\"").arg(header).toUtf8() +
                                      CellOf(lines[0], QString::fromLatin1(header)).toUtf8() +
                                      "\",\"File General - "));
    }
}

TEST(ArchivistTest, CsvAndMergedPartsCarryTheColumnsAndPartsOfOtherColumnsAreRefused) {
    QTemporaryDir dir;
    const QString withSums = dir.filePath(QStringLiteral("sums.jsonl"));
    const QString other = dir.filePath(QStringLiteral("other.jsonl"));
    const QStringList columns = {QStringLiteral("--field"), QStringLiteral("General;AudioCount"),
                                 QStringLiteral("--hash"), QStringLiteral("md5")};
    ASSERT_EQ(RunBatch(QStringList{"-q", "--format=json", "-o", withSums} + columns +
                       QStringList{Media("h264-aac.mp4")})
                  .exitCode,
              0);
    ASSERT_EQ(RunBatch({"-q", "--format=json", "-o", other, Media("mpeg4-mp3.avi")}).exitCode, 0);
    const Finished csv =
        RunBatch(QStringList{"-q", "--format=csv"} + columns + QStringList{Media("h264-aac.mp4")});
    const Finished merged = RunBatch({"-q", "--merge", "--format=csv", withSums});
    EXPECT_EQ(merged.exitCode, 0) << merged.err.constData();
    EXPECT_EQ(merged.out, csv.out);
    EXPECT_TRUE(csv.out.startsWith("Video File/s,")) << csv.out.left(80).constData();
    EXPECT_TRUE(csv.out.contains(",File System - Type,General - AudioCount,MD5,File General - "));

    const Finished refused = RunBatch({"-q", "--merge", "--format=csv", withSums, other});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains(QStringLiteral("%1 has \"General - AudioCount\", \"MD5\", "
                                                    "%2 has no column beyond the catalogue")
                                         .arg(withSums, other)
                                         .toUtf8()))
        << refused.err.constData();
}

TEST(ArchivistTest, BadFieldsAndChecksumsAreUsageErrorsBeforeAnyFileIsRead) {
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {{"--field", "Audio;NoSuchParameter"}, "knows no parameter 'NoSuchParameter' of Audio"},
        {{"--field", "Sound;Language"}, "names no kind of stream"},
        {{"--field", ""}, "is not KIND;PARAMETER"},
        {{"--field", "Audio;"}, "names no parameter"},
        {{"--field", "Audio;Language;Extra"}, "has a ';' too many"},
        {{"--field", "Video;Format"}, "the catalogue's column \"Video - Format\""},
        {{"--field", "Audio;Language", "--field", "Audio;Language"}, "given twice"},
        {{"--hash", "sha512"}, "unknown checksum 'sha512'"},
        {{"--merge", "--hash", "md5"}, "takes no --field or --hash"},
    };
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("out.csv"));
    for (const auto& [options, said] : cases) {
        const Finished run = RunBatch(QStringList{"-q", "-o", output} + options +
                                      QStringList{Media("h264-aac.mp4")});
        EXPECT_EQ(run.exitCode, 2) << said;
        EXPECT_TRUE(run.err.contains(said)) << run.err.constData();
        EXPECT_FALSE(QFile::exists(output)) << said;
    }
}

// A catalogue with SHA-256 of copies of the media, the files dated an hour ago.
class FixityTest : public testing::Test {
  protected:
    FixityTest() { Make(); }
    void Make() {
        made = Catalogue({"--format=json", "-o", catalogue, folder.root()});
        EXPECT_EQ(made.exitCode, 0) << made.err.constData();
        bytes = ReadAll(catalogue);
    }
    Finished Catalogue(const QStringList& arguments) {
        return RunBatch(QStringList{"-q", "--hash", "sha256", "--field", "General;AudioCount"} +
                        arguments);
    }
    Finished Verify() { return RunBatch({"-q", "--verify", catalogue}); }
    QString File(const char* name) const { return folder.dir.filePath(QString::fromUtf8(name)); }

    MediaFolder folder;
    QTemporaryDir target;
    const QString catalogue = target.filePath(QStringLiteral("catalogue.jsonl"));
    Finished made;
    QByteArray bytes;
};

TEST_F(FixityTest, UpdateKeepsTheChecksumOfAnUnchangedFileWithoutReadingIt) {
    QThread::msleep(1100);  // the catalogue is older than any change that follows
    const QString kept = File("h264-aac.mp4");
    const QString sum = SumOf(bytes, kept);
    ASSERT_EQ(sum.size(), 64);
    // A forged sum in the unchanged file's row shows that it was not read again.
    const QString forged(64, u'a');
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(bytes).replace(sum.toLatin1(), forged.toLatin1()));
    file.close();
    QThread::msleep(1100);
    QFile::copy(File("h264-aac.mp4"), File("new.mp4"));
    const Finished update = Catalogue({"--update", catalogue, folder.root()});
    EXPECT_EQ(update.exitCode, 0) << update.err.constData();
    const QByteArray updated = ReadAll(catalogue);
    EXPECT_EQ(SumOf(updated, kept), forged);
    EXPECT_EQ(SumOf(updated, File("new.mp4")), sum);

    // Another field list or checksum is refused, naming both, and nothing is written.
    const Finished other = RunBatch({"-q", "--hash", "md5", "--update", catalogue, folder.root()});
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_TRUE(other.err.contains("has \"General - AudioCount\", \"SHA-256\", this run \"MD5\""))
        << other.err.constData();
    EXPECT_EQ(ReadAll(catalogue), updated);
}

TEST_F(FixityTest, VerifyPassesAnUntouchedTreeAndFindsAChangedByteAndARemovedFile) {
    const Finished untouched = Verify();
    EXPECT_EQ(untouched.exitCode, 0) << untouched.err.constData();
    const qsizetype count = Lines(bytes).size();
    EXPECT_EQ(untouched.out, QStringLiteral("%1 files: %1 matched, 0 changed, 0 missing, 0 could "
                                            "not be read (SHA-256)\n")
                                 .arg(count)
                                 .toUtf8());

    // One byte changed in place, its size and modification time as they were.
    const QString changed = File("h264-aac.mp4");
    const QString removed = File("mpeg4-mp3.avi");
    const QDateTime modified = QFileInfo(changed).lastModified();
    {
        QFile file(changed);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(2000);
        const char byte = file.read(1)[0];
        file.seek(2000);
        file.write(QByteArray(1, static_cast<char>(byte ^ 1)));
    }
    {
        QFile file(changed);  // as touch -r does, once the write is done
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        file.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    ASSERT_EQ(QFileInfo(changed).lastModified(), modified);
    QFile::remove(removed);
    const Finished verify = Verify();
    EXPECT_EQ(verify.exitCode, 1);
    const QList<QByteArray> lines = Lines(verify.out);
    ASSERT_EQ(lines.size(), 3) << verify.out.constData();
    EXPECT_TRUE(lines.contains(QFile::encodeName(removed) + ": missing"));
    EXPECT_TRUE(verify.out.contains(QFile::encodeName(changed) + ": changed (SHA-256 "));
    EXPECT_EQ(lines.last(), QStringLiteral("%1 files: %2 matched, 1 changed, 1 missing, 0 could "
                                           "not be read (SHA-256)")
                                .arg(count)
                                .arg(count - 2)
                                .toUtf8());
    EXPECT_EQ(ReadAll(catalogue), bytes);
}

TEST_F(FixityTest, VerifyRefusesCataloguesWithoutChecksumsAndDamagedOnes) {
    const QString plain = target.filePath(QStringLiteral("plain.jsonl"));
    ASSERT_EQ(RunBatch({"-q", "--format=json", "-o", plain, File("h264-aac.mp4")}).exitCode, 0);
    const Finished withoutSums = RunBatch({"-q", "--verify", plain});
    EXPECT_EQ(withoutSums.exitCode, 2);
    EXPECT_TRUE(withoutSums.err.contains("line 1: no checksum column")) << withoutSums.err.data();

    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QList<QByteArray> lines = Lines(bytes);
    lines[1].replace("\"SHA-256\":\"", "\"SHA-256\":\"0");
    file.write(lines.join('\n') + '\n');
    file.close();
    const Finished damaged = Verify();
    EXPECT_EQ(damaged.exitCode, 2);
    EXPECT_TRUE(damaged.out.isEmpty());
    EXPECT_TRUE(damaged.err.contains(": line 2: ")) << damaged.err.constData();

    const Finished withPaths = RunBatch({"-q", "--verify", catalogue, folder.root()});
    EXPECT_EQ(withPaths.exitCode, 2);
}

// Verify over a share that stops answering: each of its files one line, no
// timeout each, and the run ends.
TEST_F(FixityTest, VerifyOfAShareThatStopsAnsweringSaysEachFileAndEnds) {
    SKIP_WITHOUT_FUSE();
    test::SlowStorage share(folder.root(),
                            test::SlowStorage::Share(1) + QStringList{"--stall-after", "0"});
    ASSERT_TRUE(share.mounted()) << share.error().toStdString();
    // The catalogue's files, as if it had been made on the share.
    QFile file(catalogue);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(bytes).replace(QFile::encodeName(folder.root()) + '/',
                                         QFile::encodeName(share.path()) + '/'));
    file.close();

    const Finished verify = RunBatch({"-q", "--file-timeout=0.4", "--verify", catalogue});
    EXPECT_EQ(verify.exitCode, 1);
    const QList<QByteArray> lines = Lines(verify.out);
    const qsizetype count = Lines(bytes).size();
    ASSERT_EQ(lines.size(), count + 1) << verify.out.constData();
    for (qsizetype i = 0; i < count; ++i) {
        EXPECT_TRUE(lines[i].startsWith(QFile::encodeName(share.path()) + '/') &&
                    lines[i].contains(": cannot be read: "))
            << lines[i].constData();
    }
    EXPECT_EQ(lines.last(), QStringLiteral("%1 files: 0 matched, 0 changed, 0 missing, %1 could "
                                           "not be read (SHA-256)")
                                .arg(count)
                                .toUtf8());
}

}  // namespace
}  // namespace quorvid
