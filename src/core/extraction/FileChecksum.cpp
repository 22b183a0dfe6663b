#include "core/extraction/FileChecksum.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <memory>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The system reads ahead of a sequential reader whatever it asks for; a small
// buffer costs a fresh reader few pages of its own, and stays in the cache
// while the digest runs over it.
constexpr size_t kReadBytes = 128 * 1024;

const char* DigestName(ChecksumKind kind) {
    switch (kind) {
        case ChecksumKind::Sha256:
            return "SHA256";
        case ChecksumKind::Md5:
            return "MD5";
        case ChecksumKind::Sha1:
            return "SHA1";
        case ChecksumKind::None:
            break;
    }
    return nullptr;
}

struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

class FileCloser {
  public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() { close(fd_); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

  private:
    int fd_;
};

bool SameFile(const struct stat& before, const struct stat& after) {
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
           before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

StepFailure SystemFailure(const QString& what, int error) {
    return StepFailure(what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
}

QString HexOf(const unsigned char* bytes, unsigned int size) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), size).toHex());
}

}  // namespace

FileChecksum::FileChecksum(ChecksumKind kind) : kind_(kind) {
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr);
    if (const char* name = DigestName(kind)) {
        digest_ = EVP_MD_fetch(nullptr, name, nullptr);
    }
    // A first sum runs whatever the digest sets up on first use.
    if (digest_ != nullptr) {
        Of(QByteArray("warm-up"));
    }
}

FileChecksum::~FileChecksum() {
    EVP_MD_free(digest_);
}

QString FileChecksum::Of(const QByteArray& bytes) const {
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const Context context(EVP_MD_CTX_new());
    if (digest_ == nullptr || !context || !EVP_DigestInit_ex(context.get(), digest_, nullptr) ||
        !EVP_DigestUpdate(context.get(), bytes.constData(), static_cast<size_t>(bytes.size())) ||
        !EVP_DigestFinal_ex(context.get(), sum, &size)) {
        throw StepFailure(QStringLiteral("the checksum cannot be computed here"));
    }
    return HexOf(sum, size);
}

QString FileChecksum::Of(const QString& path) const {
    const Context context(EVP_MD_CTX_new());
    if (digest_ == nullptr || !context || !EVP_DigestInit_ex(context.get(), digest_, nullptr)) {
        throw StepFailure(QStringLiteral("the checksum cannot be computed here"));
    }
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        throw SystemFailure(QStringLiteral("the file cannot be opened for its checksum"), errno);
    }
    const FileCloser closer(fd);
    struct stat before {};
    if (fstat(fd, &before) != 0) {
        throw SystemFailure(QStringLiteral("the file's status cannot be read"), errno);
    }
    if (!S_ISREG(before.st_mode)) {
        throw StepFailure(QStringLiteral("not a regular file: it has no checksum"));
    }
    // Not cleared first: every byte the digest sees was read into it.
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadBytes]);
    while (true) {
        const ssize_t got = read(fd, buffer.get(), kReadBytes);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw SystemFailure(QStringLiteral("the file could not be read for its checksum"),
                                errno);
        }
        if (got == 0) {
            break;
        }
        EVP_DigestUpdate(context.get(), buffer.get(), static_cast<size_t>(got));
    }
    struct stat after {};
    if (fstat(fd, &after) != 0 || !SameFile(before, after)) {
        throw StepFailure(
            QStringLiteral("the file changed while its checksum was computed; no checksum kept"));
    }
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_DigestFinal_ex(context.get(), sum, &size)) {
        throw StepFailure(QStringLiteral("the checksum cannot be computed here"));
    }
    return HexOf(sum, size);
}

}  // namespace quorvid
