#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace quorvid {

// The desktop's extended file details are offered in this many slots per folder.
inline constexpr int kDetailSlotCount = 41;

// One folder as the desktop shell shows it.
class ShellFolder {
  public:
    virtual ~ShellFolder() = default;
    // The header of detail slot k (0 to 40); empty when the slot has none.
    virtual QString HeaderOf(int slot) = 0;
    // The detail texts, by slot, of the folder's item that is the file at path;
    // nothing when the folder holds no such item.
    virtual std::optional<std::vector<QString>> DetailsOfItem(const QString& path) = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;
    // The shell folder of a folder path; throws StepFailure when it cannot be opened.
    virtual std::unique_ptr<ShellFolder> Namespace(const QString& folder) = 0;
};

}  // namespace quorvid
