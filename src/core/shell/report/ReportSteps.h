#pragma once

// The step numbers the error report shows ("at line 132"), one namespace per
// reporting procedure. Users quote them in their reports, so a number never
// changes once it has shipped; code and tests use the names.
namespace quorvid::step {

// Form1.Form_Load.
namespace formLoad {
inline constexpr int kApplySkin = 100;
inline constexpr int kTestHandCursor = 102;
inline constexpr int kLoadHandCursor = 104;
inline constexpr int kShowHomePage = 106;
inline constexpr int kShowSplash = 108;
inline constexpr int kTestSnapshot = 110;
inline constexpr int kRecordSnapshot = 112;
inline constexpr int kWindowTitle = 114;
inline constexpr int kWindowIcon = 116;
inline constexpr int kInputColumn = 118;
inline constexpr int kInputColumnWidth = 120;
inline constexpr int kResultColumns = 122;
}  // namespace formLoad

// "Add File/s" (PushButton1_Click).
namespace addFiles {
inline constexpr int kPickFiles = 100;
inline constexpr int kAddFile = 102;
}  // namespace addFiles

// "Add Folder" (PushButton3_Click), with the files of each folder the walk found.
namespace addFolder {
inline constexpr int kAskExtension = 100;
inline constexpr int kSaveExtension = 102;
inline constexpr int kReadLastFolder = 104;
inline constexpr int kPickFolder = 106;
inline constexpr int kSaveLastFolder = 108;
inline constexpr int kHourglass = 110;
inline constexpr int kWalkFolders = 112;
inline constexpr int kListFolder = 120;
inline constexpr int kAddFile = 122;
inline constexpr int kNormalPointer = 124;
}  // namespace addFolder

// The folder walk (AddFolder.GetSubDirectories2016).
namespace folderWalk {
inline constexpr int kTestFolder = 100;
inline constexpr int kWalkSubfolders = 102;
inline constexpr int kTestFound = 104;
inline constexpr int kYield = 106;
inline constexpr int kTestWalkable = 108;
inline constexpr int kQueueFolder = 110;
}  // namespace folderWalk

// "Start Extracting Metadata" (PushButton2_Click) and each file's record.
namespace extract {
inline constexpr int kRefuseSecondStart = 100;
inline constexpr int kMarkRunning = 102;
inline constexpr int kTestEmptyList = 104;
inline constexpr int kClearRows = 106;
inline constexpr int kRemoveColumn = 112;
inline constexpr int kWorkingFolder = 116;
inline constexpr int kCountFiles = 118;
// The helpers start once the files are counted; what their confinement lacks
// is reported under that number.
inline constexpr int kStartReaders = kCountFiles;
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
// Beyond the catalogue: the fields asked for besides it, read after its
// library cells, all under one number; and the file's checksum, read last.
inline constexpr int kExtraField = 308;
inline constexpr int kChecksum = 310;

}  // namespace extract

// "Copy Results To Clipboard" (PushButton4_Click).
namespace clipboard {
inline constexpr int kCopy = 100;
inline constexpr int kCopiedMessage = 102;
}  // namespace clipboard

// "Clear List" of the results grid (PushButton6_Click).
namespace clearResults {
inline constexpr int kClearRows = 100;
}  // namespace clearResults

// "Clear List" of the input list (PushButton7_Click).
namespace clearInput {
inline constexpr int kTestIdle = 100;
inline constexpr int kClearItems = 102;
}  // namespace clearInput

// "Save Results As Text File" (PushButton8_Click).
namespace saveTextCommand {
inline constexpr int kPickFile = 108;
inline constexpr int kSave = 114;
}  // namespace saveTextCommand

// The text file itself (Main.SaveListviewProperlySpaced).
namespace saveText {
inline constexpr int kMeasureWidths = 110;
inline constexpr int kCreateFile = 122;
inline constexpr int kHeaderLine = 124;
inline constexpr int kWriteHeader = 126;
inline constexpr int kRowLine = 144;
inline constexpr int kWriteRow = 158;
inline constexpr int kCloseFile = 166;
}  // namespace saveText

// "Save Results As Excel File" (PushButton9_Click).
namespace spreadsheet {
inline constexpr int kCreateApplication = 108;
inline constexpr int kAddWorkbook = 110;
inline constexpr int kHeaderCell = 114;
inline constexpr int kReadCell = 120;
inline constexpr int kWriteCell = 122;
inline constexpr int kAutoFit = 126;
inline constexpr int kShowWorkbook = 128;
}  // namespace spreadsheet

// "Load Samples" (PushButton10_Click).
namespace samples {
inline constexpr int kAddSamples = 100;
}  // namespace samples

// The buttons that show a fixed message (help, the spreadsheet hint, adding fields).
namespace fixedMessage {
inline constexpr int kShow = 100;
}  // namespace fixedMessage

}  // namespace quorvid::step
