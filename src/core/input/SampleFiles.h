#pragma once

#include <QString>

namespace quorvid {

struct CommandContext;
class ListViewModel;
struct Platform;

inline constexpr auto kOpenSampleFolderQuestion =
    "Would you like this software to open the folder where these sample files are stored (so "
    "that you can view them before working with them)?";

// True when any item's text equals the path exactly.
bool IsInList(const ListViewModel& list, const QString& path);

// The sample folder beside the program, with a trailing separator.
QString SampleFolder(const Platform& platform);

// Records the sample files found now under the setting "Snapshot".
void BuildSampleSnapshot(Platform& platform);

// Appends the recorded samples that still exist and are not listed yet, then
// offers to open the sample folder.
void AddSampleFiles(Platform& platform, ListViewModel& list);

// "Load Sample/Example Files".
void LoadSamplesCommand(CommandContext& context);

}  // namespace quorvid
