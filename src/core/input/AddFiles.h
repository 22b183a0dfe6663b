#pragma once

namespace quorvid {

struct CommandContext;

inline constexpr auto kAddFilesTitle = "Add File/s - Hold Ctrl or Shift to select multiple files";
inline constexpr auto kAddFilesFilter =
    "Video Files (*.avi;*.mpg;*.mpeg;*.flv;*.wmv;*.mov;*.mp4)|*.avi;*.mpg;*.mpeg;*.flv;*.wmv;*.mov;"
    "*.mp4|All Files (*.*)|*.*|";

// "Add Video File/s": the chosen files go to the end of the input list as the
// dialog returns them, in its order.
void AddFilesCommand(CommandContext& context);

}  // namespace quorvid
