// GIO first: its headers use names that Qt defines as macros.
#include <gio/gio.h>

#include <sys/stat.h>
#include "core/extraction/GioShell.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <mutex>

#include "core/extraction/FileExtractor.h"
#include "core/shell/files/RegionalDateTime.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

enum Slot {
    kName = 0,
    kSize,
    kType,
    kDateModified,
    kDateAccessed,
    kDateCreated,
    kDateChanged,
    kOwner,
    kGroup,
    kPermissions,
    kContentType,
    kLocation,
    kLinkTarget,
    kAllocatedSize,
    kHidden,
    kReadOnly,
    kComment,
    kTags,
    kRating,
    kOriginUrl,
    kReferrerUrl,
    kLanguage,
    kCreator,
    kPublisher,
    kFirstEmptySlot,
};

constexpr std::array<const char*, kFirstEmptySlot> kHeaders = {
    "Name",         "Size",         "Type",        "Date modified",  "Date accessed",
    "Date created", "Date changed", "Owner",       "Group",          "Permissions",
    "Content type", "Location",     "Link target", "Allocated size", "Hidden",
    "Read-only",    "Comment",      "Tags",        "Rating",         "Origin URL",
    "Referrer URL", "Language",     "Creator",     "Publisher",
};

// The extended attributes behind the slots from kComment on, as GIO names them.
constexpr std::array<const char*, kFirstEmptySlot - kComment> kExtendedAttributes = {
    "xattr::xdg.comment",    "xattr::xdg.tags",         "xattr::baloo.rating",
    "xattr::xdg.origin.url", "xattr::xdg.referrer.url", "xattr::xdg.language",
    "xattr::xdg.creator",    "xattr::xdg.publisher",
};

// standard::content-type sniffs only regular files, so a fifo is never opened.
// The extended attributes are listed once and only those there are read: each
// is a request to a network share.
constexpr auto kAttributes =
    "standard::display-name,standard::size,standard::content-type,standard::symlink-target,"
    "standard::allocated-size,time::*,owner::user,owner::group,unix::mode,"
    "access::can-write,xattr::*";

// Hidden as the desktop shows it: a name that begins with a dot, or one listed
// in its folder's ".hidden". GIO reads that list through a cache that a thread
// of its own expires, in every process anew; here each folder's list is read
// once, and a reader forked afterwards finds it known.
class HiddenLists {
  public:
    static bool IsHidden(const QByteArray& path) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray name = path.mid(slash + 1);
        return name.startsWith('.') || ListOf(path.left(slash + 1)).contains(name);
    }
    static void Prepare(const QByteArray& path) { ListOf(path.left(path.lastIndexOf('/') + 1)); }

  private:
    static QSet<QByteArray> ListOf(const QByteArray& folder) {
        static std::mutex mutex;
        static QHash<QByteArray, QSet<QByteArray>> lists;
        const std::lock_guard lock(mutex);
        auto list = lists.constFind(folder);
        if (list == lists.constEnd()) {
            QSet<QByteArray> names;
            QFile file(QFile::decodeName(folder + ".hidden"));
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n')) {
                    if (!line.isEmpty()) {
                        names.insert(line);
                    }
                }
            }
            list = lists.insert(folder, names);
        }
        return *list;
    }
};

template <typename T>
struct GObjectPtr {
    explicit GObjectPtr(T* object) : object(object) {}
    ~GObjectPtr() {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;
    T* object;
};

QString TakeText(gchar* text) {
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString Utf8Attribute(GFileInfo* info, const char* attribute) {
    const char* value = g_file_info_get_attribute_string(info, attribute);
    return value == nullptr ? QString() : QString::fromUtf8(value);
}

// GIO hands extended attributes over with every byte outside printable ASCII,
// and the backslash, written as \xNN; the desktop shows the decoded text.
QString ExtendedAttribute(GFileInfo* info, const char* attribute) {
    const char* value = g_file_info_get_attribute_string(info, attribute);
    if (value == nullptr) {
        return {};
    }
    QByteArray bytes;
    for (const char* c = value; *c != '\0'; ++c) {
        if (c[0] == '\\' && c[1] == 'x' && g_ascii_isxdigit(c[2]) && g_ascii_isxdigit(c[3])) {
            bytes.append(
                static_cast<char>(g_ascii_xdigit_value(c[2]) * 16 + g_ascii_xdigit_value(c[3])));
            c += 3;
        } else {
            bytes.append(*c);
        }
    }
    return QString::fromUtf8(bytes);
}

QString SizeAttribute(GFileInfo* info, const char* attribute) {
    if (!g_file_info_has_attribute(info, attribute)) {
        return {};
    }
    return TakeText(g_format_size(g_file_info_get_attribute_uint64(info, attribute)));
}

QString TimeAttribute(GFileInfo* info, const char* seconds, const char* microseconds) {
    if (!g_file_info_has_attribute(info, seconds)) {
        return {};
    }
    const qint64 milliseconds =
        static_cast<qint64>(g_file_info_get_attribute_uint64(info, seconds)) * 1000 +
        g_file_info_get_attribute_uint32(info, microseconds) / 1000;
    return RegionalDateTimeText(QDateTime::fromMSecsSinceEpoch(milliseconds));
}

QString YesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

class GioShellFolder : public ShellFolder {
  public:
    QString HeaderOf(int slot) override { return GioDetailHeader(slot); }

    std::optional<std::vector<QString>> DetailsOfItem(const QString& path) override {
        return Details(path, true);
    }

    static std::optional<std::vector<QString>> Details(const QString& path, bool hidden) {
        const QByteArray nativePath = QFile::encodeName(path);
        const GObjectPtr<GFile> file(g_file_new_for_path(nativePath.constData()));
        const GObjectPtr<GFileInfo> info(
            g_file_query_info(file.object, kAttributes, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
        if (info.object == nullptr) {
            return std::nullopt;
        }
        GFileInfo* const i = info.object;
        std::vector<QString> details(kDetailSlotCount);
        details[kName] = Utf8Attribute(i, G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME);
        details[kSize] = SizeAttribute(i, G_FILE_ATTRIBUTE_STANDARD_SIZE);
        const char* contentType = g_file_info_get_content_type(i);
        if (contentType != nullptr) {
            details[kType] = TakeText(g_content_type_get_description(contentType));
            details[kContentType] = QString::fromUtf8(contentType);
        }
        details[kDateModified] =
            TimeAttribute(i, G_FILE_ATTRIBUTE_TIME_MODIFIED, G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC);
        details[kDateAccessed] =
            TimeAttribute(i, G_FILE_ATTRIBUTE_TIME_ACCESS, G_FILE_ATTRIBUTE_TIME_ACCESS_USEC);
        details[kDateCreated] =
            TimeAttribute(i, G_FILE_ATTRIBUTE_TIME_CREATED, G_FILE_ATTRIBUTE_TIME_CREATED_USEC);
        details[kDateChanged] =
            TimeAttribute(i, G_FILE_ATTRIBUTE_TIME_CHANGED, G_FILE_ATTRIBUTE_TIME_CHANGED_USEC);
        details[kOwner] = Utf8Attribute(i, G_FILE_ATTRIBUTE_OWNER_USER);
        details[kGroup] = Utf8Attribute(i, G_FILE_ATTRIBUTE_OWNER_GROUP);
        if (g_file_info_has_attribute(i, G_FILE_ATTRIBUTE_UNIX_MODE)) {
            details[kPermissions] =
                PermissionsText(g_file_info_get_attribute_uint32(i, G_FILE_ATTRIBUTE_UNIX_MODE));
        }
        const GObjectPtr<GFile> parent(g_file_get_parent(file.object));
        if (parent.object != nullptr) {
            gchar* parentPath = g_file_get_path(parent.object);
            details[kLocation] = QFile::decodeName(parentPath);
            g_free(parentPath);
        }
        const char* target =
            g_file_info_get_attribute_byte_string(i, G_FILE_ATTRIBUTE_STANDARD_SYMLINK_TARGET);
        if (target != nullptr) {
            details[kLinkTarget] = QFile::decodeName(target);
        }
        details[kAllocatedSize] = SizeAttribute(i, G_FILE_ATTRIBUTE_STANDARD_ALLOCATED_SIZE);
        if (hidden) {
            details[kHidden] = YesNo(HiddenLists::IsHidden(nativePath));
        }
        if (g_file_info_has_attribute(i, G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE)) {
            details[kReadOnly] =
                YesNo(!g_file_info_get_attribute_boolean(i, G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE));
        }
        for (int slot = kComment; slot < kFirstEmptySlot; ++slot) {
            details[static_cast<size_t>(slot)] =
                ExtendedAttribute(i, kExtendedAttributes[static_cast<size_t>(slot - kComment)]);
        }
        return details;
    }
};

}  // namespace

void GioShell::WarmUp(const QString& path) {
    GioShellFolder::Details(path, false);
}

void GioShell::WarmUpTypes(const std::vector<std::pair<QString, QByteArray>>& files) {
    for (const auto& [name, contents] : files) {
        const QByteArray nativeName = QFile::encodeName(name);
        gchar* const type = g_content_type_guess(
            nativeName.constData(), reinterpret_cast<const guchar*>(contents.constData()),
            static_cast<gsize>(contents.size()), nullptr);
        g_free(g_content_type_get_description(type));
        g_free(type);
    }
}

void GioShell::PrepareFolderOf(const QString& path) {
    HiddenLists::Prepare(QFile::encodeName(path));
}

QString GioDetailHeader(int slot) {
    if (slot < 0 || slot >= kFirstEmptySlot) {
        return {};
    }
    return QString::fromLatin1(kHeaders[static_cast<size_t>(slot)]);
}

bool IsGioDetailColumn(const QString& header) {
    const QLatin1String prefix(kDetailHeaderPrefix);
    if (!header.startsWith(prefix)) {
        return false;
    }
    const QStringView slotHeader = QStringView(header).mid(prefix.size());
    return std::any_of(kHeaders.begin() + 1, kHeaders.end(),
                       [&](const char* known) { return slotHeader == QLatin1String(known); });
}

QString PermissionsText(unsigned int mode) {
    QString text(10, QLatin1Char('-'));
    if (S_ISDIR(mode)) {
        text[0] = QLatin1Char('d');
    } else if (S_ISLNK(mode)) {
        text[0] = QLatin1Char('l');
    } else if (S_ISFIFO(mode)) {
        text[0] = QLatin1Char('p');
    } else if (S_ISSOCK(mode)) {
        text[0] = QLatin1Char('s');
    } else if (S_ISCHR(mode)) {
        text[0] = QLatin1Char('c');
    } else if (S_ISBLK(mode)) {
        text[0] = QLatin1Char('b');
    }
    constexpr std::array<unsigned int, 9> bits = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                                                  S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    constexpr char letters[] = "rwxrwxrwx";
    for (size_t i = 0; i < bits.size(); ++i) {
        if ((mode & bits[i]) != 0) {
            text[static_cast<qsizetype>(i + 1)] = QLatin1Char(letters[i]);
        }
    }
    // Set-id and sticky bits take the execute position: lower case when it is set.
    const auto special = [&](unsigned int bit, qsizetype position, char withExecute,
                             char withoutExecute) {
        if ((mode & bit) != 0) {
            text[position] =
                QLatin1Char(text[position] == QLatin1Char('-') ? withoutExecute : withExecute);
        }
    };
    special(S_ISUID, 3, 's', 'S');
    special(S_ISGID, 6, 's', 'S');
    special(S_ISVTX, 9, 't', 'T');
    return text;
}

std::unique_ptr<ShellFolder> GioShell::Namespace(const QString& folder) {
    const auto isFolder = [&] {
        if (folder.isEmpty()) {
            return false;
        }
        const QByteArray nativeFolder = QFile::encodeName(folder);
        const GObjectPtr<GFile> file(g_file_new_for_path(nativeFolder.constData()));
        return g_file_query_file_type(file.object, G_FILE_QUERY_INFO_NONE, nullptr) ==
               G_FILE_TYPE_DIRECTORY;
    };
    if (!isFolder()) {
        throw StepFailure(QStringLiteral("The folder could not be opened: ") + folder);
    }
    return std::make_unique<GioShellFolder>();
}

}  // namespace quorvid
