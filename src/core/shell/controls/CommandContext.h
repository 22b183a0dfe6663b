#pragma once

namespace quorvid {

class ListViewModel;
class MousePointerState;
class ProgressState;
struct Platform;

// What a command of the main window works on: the platform seams and the
// window's lists, progress bar and pointer. Commands take it instead of the
// window, so tests and benchmarks run them without one.
struct CommandContext {
    Platform& platform;
    ListViewModel& inputList;    // ListView1
    ListViewModel& resultsGrid;  // ListView2
    ProgressState& progress;     // ProgressBar1
    MousePointerState& pointer;  // the window's MousePointer
};

}  // namespace quorvid
