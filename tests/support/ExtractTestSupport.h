#pragma once

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "core/extraction/Shell.h"
#include "core/shell/report/StepFailure.h"
#include "support/ScriptedDialogs.h"

namespace quorvid::test {

inline QString MediaPath(const QString& name) {
    return QDir(QStringLiteral(QUORVID_TEST_MEDIA_DIR)).filePath(name);
}

// The step numbers of the error reports shown, in order.
inline std::vector<int> ReportedSteps(const ScriptedDialogs& dialogs) {
    static const QRegularExpression line(QStringLiteral("at line (\\d+)\\r\\r"));
    std::vector<int> steps;
    for (const QString& text : dialogs.Warnings()) {
        steps.push_back(line.match(text).captured(1).toInt());
    }
    return steps;
}

// A shell whose headers and item details a test sets; folders not listed cannot
// be opened.
class ScriptedShell : public Shell {
  public:
    struct Folder {
        std::map<int, QString> headers;
        std::map<QString, std::map<int, QString>> items;  // by full path
    };

    std::unique_ptr<ShellFolder> Namespace(const QString& folder) override {
        const auto found = folders.find(folder);
        if (found == folders.end()) {
            throw StepFailure(QStringLiteral("No such shell folder: ") + folder);
        }
        return std::make_unique<OpenFolder>(found->second);
    }

    std::map<QString, Folder> folders;

  private:
    struct OpenFolder : ShellFolder {
        explicit OpenFolder(const Folder& folder) : folder(folder) {}
        QString HeaderOf(int slot) override {
            const auto found = folder.headers.find(slot);
            return found == folder.headers.end() ? QString() : found->second;
        }
        std::optional<std::vector<QString>> DetailsOfItem(const QString& path) override {
            const auto found = folder.items.find(path);
            if (found == folder.items.end()) {
                return std::nullopt;
            }
            std::vector<QString> details(kDetailSlotCount);
            for (const auto& [slot, text] : found->second) {
                details[static_cast<size_t>(slot)] = text;
            }
            return details;
        }
        const Folder& folder;
    };
};

}  // namespace quorvid::test
