#pragma once

// The numbers the error report shows for the steps of the extraction run.
namespace quorvid::step {

inline constexpr int kRefuseSecondStart = 100;
inline constexpr int kMarkRunning = 102;
inline constexpr int kTestEmptyList = 104;
inline constexpr int kClearRows = 106;
inline constexpr int kRemoveColumn = 112;
inline constexpr int kWorkingFolder = 116;
inline constexpr int kCountFiles = 118;
inline constexpr int kReadPath = 120;
inline constexpr int kProgressValue = 122;
inline constexpr int kProgressText = 124;
inline constexpr int kYield = 126;
inline constexpr int kHourglass = 128;
inline constexpr int kNewHandle = 130;
inline constexpr int kOpenFile = 132;
inline constexpr int kAppendRow = 134;
// Cell k of the row (1 to 41 library fields, then the file facts up to 52): the
// library cells are read at 134 + 2k, the file facts at 140 + 2k.
constexpr int LibraryCellStep(int cell) {
    return 134 + 2 * cell;
}
constexpr int FileCellStep(int cell) {
    return 140 + 2 * cell;
}
inline constexpr int kCloseFile = 218;
inline constexpr int kDeleteHandle = 220;
inline constexpr int kGetFile = 222;
inline constexpr int kOpenShellFolder = 254;
inline constexpr int kReadHeader = 258;
inline constexpr int kReadItems = 266;
inline constexpr int kFindColumn = 276;
inline constexpr int kFoundColumn = 278;
inline constexpr int kWriteFoundColumn = 280;
inline constexpr int kAppendColumn = 282;
inline constexpr int kWriteNewColumn = 284;
inline constexpr int kNormalPointer = 296;
inline constexpr int kProgressValueReset = 298;
inline constexpr int kProgressTextReset = 300;
inline constexpr int kDoneMessage = 302;
inline constexpr int kNoFilesMessage = 304;
inline constexpr int kMarkIdle = 306;

}  // namespace quorvid::step
