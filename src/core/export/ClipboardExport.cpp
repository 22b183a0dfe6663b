#include "core/export/ClipboardExport.h"

#include "core/export/AlignedTextLayout.h"
#include "core/export/Clipboard.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"

namespace quorvid {

namespace {

template <typename Attempt>
bool WithRetries(Attempt&& attempt) {
    for (int made = 1; made <= kClipboardAttempts; ++made) {
        if (attempt()) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ClearClipboard(Clipboard& clipboard) {
    return WithRetries([&] { return clipboard.Clear(); });
}

bool SetClipboardText(Clipboard& clipboard, const QString& text) {
    return WithRetries([&] { return clipboard.SetText(text); });
}

QString AlignedClipboardText(const ListViewModel& grid, EventPump& events) {
    AlignedTextLayout layout(grid, events);
    layout.MeasureWidths(AlignedTextLayout::Headers::Ignore,
                         [](const StepFailure& failure) { throw failure; });

    const int rows = grid.ItemCount();
    qsizetype checkedRows = 0;
    for (int row = 1; row <= rows; ++row) {
        checkedRows += grid.Checked(row) ? 1 : 0;
    }
    // One allocation for the whole text: a large grid gives hundreds of megabytes,
    // and growing by doubling would need half as much again.
    QString text;
    text.reserve((layout.LineLength() + 2) * checkedRows);
    for (int row = 1; row <= rows; ++row) {
        events.DoEvents();
        if (layout.AppendRow(text, row)) {
            text.append(QStringLiteral("\r\n"));
        }
    }
    return text;
}

void CopyListviewToClipboard(const ListViewModel& grid, EventPump& events, Clipboard& clipboard) {
    if (grid.ItemCount() == 0) {
        return;
    }
    const QString text = AlignedClipboardText(grid, events);
    ClearClipboard(clipboard);
    SetClipboardText(clipboard, text);
}

void CopyResultsToClipboardCommand(CommandContext& context) {
    Platform& platform = context.platform;
    ReportingProcedure procedure(*platform.dialogs, QString::fromLatin1(location::kPushButton4));
    procedure.Step(step::clipboard::kCopy, [&] {
        CopyListviewToClipboard(context.resultsGrid, *platform.events, *platform.clipboard);
    });
    procedure.Step(step::clipboard::kCopiedMessage, [&] {
        platform.dialogs->Message(QString::fromLatin1(kCopiedToClipboardMessage));
    });
}

}  // namespace quorvid
