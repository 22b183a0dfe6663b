#pragma once

#include <QCursor>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "core/commands/ExtractionRun.h"
#include "core/shell/controls/CommandContext.h"
#include "core/shell/controls/ListViewModel.h"
#include "core/shell/controls/MousePointer.h"
#include "core/shell/controls/ProgressState.h"

class QMimeData;
class QProgressBar;
class QPushButton;

namespace quorvid {

class ListMouseHandling;
class ListViewControl;
class ListViewControlTarget;
class Splash;
struct Platform;

// The main window. Each control event has its handler here; the work of a
// command lives in its subsystem's classes, which the handlers call.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // Runs the load steps; the caller shows the window afterwards (Show()).
    void Form_Load();
    // Shows the window centred on the screen.
    void ShowCentred();

    // The busy flag and pointer shape, by the property's numbers (PointerShape).
    int MousePointer() const { return static_cast<int>(pointer_.value()); }
    void SetMousePointer(int value) { pointer_.set(static_cast<PointerShape>(value)); }

    bool ExtractionRunning() const { return extraction_.ExtractionRunning(); }

    // Controls by name, for the commands and the tests.
    ListViewModel& ListView1Items() { return inputList_; }
    ListViewModel& ListView2Items() { return resultsGrid_; }
    ListViewControl* ListView1 = nullptr;
    ListViewControl* ListView2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    // PushButton(1) to PushButton(12).
    QPushButton* PushButton(int number) const { return buttons_.at(number - 1); }
    ProgressState& Progress() { return progress_; }
    CommandContext& Context() { return context_; }
    // True once the skin file was applied at load.
    bool Skinned() const { return skinned_; }
    // The hand cursor read at load; null when there was none.
    bool HasMouseIcon() const { return mouseIcon_.has_value(); }

    // Button commands.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton12_Click();

    // True when the spreadsheet application can be started; shows its message if not.
    bool SaveResultsAsExcelFileIsExcelInstalled();

    // Hover rules.
    void Form_MouseMove();
    void PushButton_MouseMove();

    // Input list events.
    void ListView1_DblClick();
    void ListView1_KeyDown(int keyCode, int shift);
    void ListView1_ItemClick(int index);
    void ListView1_MouseDown(int button, int shift, int x, int y);
    void ListView1_MouseMove(int button, int shift, int x, int y);
    void ListView1_MouseUp(int button, int shift, int x, int y);
    // Sets effect to 0 when the drag offers no file list.
    void ListView1_OLEDragOver(const QMimeData& data, int& effect);
    void ListView1_OLEDragDrop(const QMimeData& data);
    void ListView2_MouseMove(int button, int shift, int x, int y);

    // Closing.
    void Form_QueryUnload();
    void Form_Unload();

  protected:
    void closeEvent(class QCloseEvent* event) override;
    void mouseMoveEvent(class QMouseEvent* event) override;
    bool eventFilter(QObject* watched, class QEvent* event) override;

  private:
    // The controls, their places and texts, and their events.
    void CreateControls();
    void SetUpWindowSurface();
    void CreateButtons();
    void CreateLists();
    void CreateProgressBar();
    void ArrangeTabOrder();
    void ConnectListEvents();
    void ConnectButtonClicks();
    void RemoveSelectedInputItem();
    // The help buttons: one message under the button's own error report.
    void ShowFixedMessage(const char* location, const QString& text);
    // Load steps that other parts of the program provide.
    void ShowSplash();
    void RecordSampleSnapshot();
    void ApplySkin();
    void LoadHandCursor();
    void ShowHomePageRandomly();
    void ApplyPointer(PointerShape shape);

    Platform& platform_;
    ListViewModel inputList_{false};
    ListViewModel resultsGrid_{true};
    ProgressState progress_;
    MousePointerState pointer_;
    CommandContext context_;
    ExtractionRun extraction_;
    std::array<QPushButton*, 12> buttons_{};
    std::optional<QCursor> mouseIcon_;
    bool skinned_ = false;
    std::unique_ptr<Splash> splash_;
    std::unique_ptr<ListViewControlTarget> listView1Target_;
    std::unique_ptr<ListMouseHandling> listView1Mouse_;
};

}  // namespace quorvid
