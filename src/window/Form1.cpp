#include "window/Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QtEndian>
#include <cmath>

#include "core/commands/ExtractionRun.h"
#include "core/export/ClipboardExport.h"
#include "core/export/SpreadsheetExport.h"
#include "core/export/TextFileExport.h"
#include "core/input/AddFiles.h"
#include "core/input/AddFolder.h"
#include "core/input/FileDrop.h"
#include "core/input/SampleFiles.h"
#include "core/results/ResultsGrid.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/platform/SystemServices.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"
#include "core/shell/texts/Addresses.h"
#include "core/shell/texts/HelpMessages.h"
#include "window/ListMouseHandling.h"
#include "window/ListViewControl.h"
#include "window/ListViewControlTarget.h"
#include "window/Splash.h"

namespace quorvid {

namespace {

constexpr int kTwips = ListViewModel::kTwipsPerPixel;
constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 8940;

struct ControlPlace {
    int button;  // 0 for the lists and the bar
    const char* caption;
    int left, top, width, height;
};

// Captions and places in twips; the tab order is set apart below.
constexpr ControlPlace kButtons[] = {
    {5, "Help", 120, 120, 7800, 405},
    {1, "Add Video File/s", 120, 3250, 3840, 405},
    {3, "Add All Video File/s In Folder", 4080, 3250, 3840, 405},
    {7, "Clear List", 120, 3760, 3840, 405},
    {10, "Load Sample/Example Files", 4080, 3760, 3840, 405},
    {2, "Start Extracting Metadata", 120, 4270, 7800, 405},
    {9, "Save Results As Excel File", 120, 7920, 3240, 405},
    {11, "?", 3480, 7920, 480, 405},
    {8, "Save Results As Text File", 4080, 7920, 3840, 405},
    {4, "Copy Results To Clipboard", 120, 8430, 3840, 405},
    {6, "Clear List", 4080, 8430, 1920, 405},
    {12, "Add Fields", 6120, 8430, 1800, 405},
};

QRect PlaceOf(int left, int top, int width, int height) {
    return {left / kTwips, top / kTwips, width / kTwips, height / kTwips};
}

QFont ArialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// A .cur file keeps the pointer's hot spot where an icon keeps planes and bit count.
QPoint CursorHotSpot(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {0, 0};
    }
    const QByteArray head = file.read(14);
    if (head.size() < 14 || qFromLittleEndian<quint16>(head.constData() + 2) != 2) {
        return {0, 0};
    }
    return {qFromLittleEndian<quint16>(head.constData() + 10),
            qFromLittleEndian<quint16>(head.constData() + 12)};
}

}  // namespace

Form1::Form1(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform),
      context_{platform, inputList_, resultsGrid_, progress_, pointer_},
      extraction_(context_) {
    CreateControls();
    connect(&pointer_, &MousePointerState::changed, this, &Form1::ApplyPointer);
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    SetUpWindowSurface();
    CreateButtons();
    CreateLists();
    CreateProgressBar();
    ArrangeTabOrder();
    ConnectListEvents();
    ConnectButtonClicks();
}

void Form1::SetUpWindowSurface() {
    setFixedSize(kClientWidthTwips / kTwips, kClientHeightTwips / kTwips);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setMouseTracking(true);
}

void Form1::CreateButtons() {
    for (const ControlPlace& place : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(place.caption), this);
        button->setObjectName(QStringLiteral("PushButton%1").arg(place.button));
        button->setGeometry(PlaceOf(place.left, place.top, place.width, place.height));
        button->setFont(ArialBold(11.25));
        button->setMouseTracking(true);
        button->installEventFilter(this);
        buttons_[place.button - 1] = button;
    }
}

void Form1::CreateLists() {
    ListView1 = new ListViewControl(inputList_, this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(PlaceOf(120, 630, 7800, 2535));
    ListView1->setToolTip(QStringLiteral(
        "Drag and drop files here. Double-click item to remove it. Move | line to right and "
        "out of window to reveal full names."));
    ListView1->SetDropTarget(true);

    ListView2 = new ListViewControl(resultsGrid_, this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setGeometry(PlaceOf(120, 5295, 7800, 2535));
    ListView2->setToolTip(
        QStringLiteral("Move | line to right and out of window to reveal full names."));
    for (ListViewControl* list : {ListView1, ListView2}) {
        list->setFont(ArialBold(9));
    }
}

void Form1::CreateProgressBar() {
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(PlaceOf(120, 4790, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(progress_.text());
    connect(&progress_, &ProgressState::valueChanged, ProgressBar1, [this](double value) {
        // The bar paints at once on a new value, and again for the new text that
        // follows; held back, the two changes share one paint on the next turn.
        ProgressBar1->setUpdatesEnabled(false);
        ProgressBar1->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0))));
        ProgressBar1->setUpdatesEnabled(true);
    });
    connect(&progress_, &ProgressState::textChanged, ProgressBar1, [this](const QString& text) {
        QString format = text;
        ProgressBar1->setFormat(format.replace(QLatin1Char('%'), QStringLiteral("%%")));
    });
}

// Tab order: the results grid first, as the window was designed.
void Form1::ArrangeTabOrder() {
    const QList<QWidget*> tabOrder = {ListView2,      ListView1,     PushButton(8),  PushButton(1),
                                      PushButton(3),  PushButton(7), PushButton(10), PushButton(2),
                                      PushButton(5),  PushButton(4), PushButton(6),  PushButton(9),
                                      PushButton(11), PushButton(12)};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
}

void Form1::ConnectListEvents() {
    listView1Target_ = std::make_unique<ListViewControlTarget>(*ListView1);
    listView1Mouse_ = std::make_unique<ListMouseHandling>(
        inputList_, *listView1Target_, platform_.programFolder + QStringLiteral("/drag.ico"));

    connect(ListView1, &ListViewControl::DblClick, this, &Form1::ListView1_DblClick);
    connect(ListView1, &ListViewControl::KeyDown, this, &Form1::ListView1_KeyDown);
    connect(ListView1, &ListViewControl::ItemClick, this, &Form1::ListView1_ItemClick);
    connect(ListView1, &ListViewControl::MouseDown, this, &Form1::ListView1_MouseDown);
    connect(ListView1, &ListViewControl::MouseMove, this, &Form1::ListView1_MouseMove);
    connect(ListView1, &ListViewControl::MouseUp, this, &Form1::ListView1_MouseUp);
    connect(ListView1, &ListViewControl::OLEDragOver, this, &Form1::ListView1_OLEDragOver);
    connect(ListView1, &ListViewControl::OLEDragDrop, this, &Form1::ListView1_OLEDragDrop);
    connect(ListView2, &ListViewControl::MouseMove, this, &Form1::ListView2_MouseMove);
}

void Form1::ConnectButtonClicks() {
    void (Form1::*const clicks[12])() = {
        &Form1::PushButton1_Click,  &Form1::PushButton2_Click,  &Form1::PushButton3_Click,
        &Form1::PushButton4_Click,  &Form1::PushButton5_Click,  &Form1::PushButton6_Click,
        &Form1::PushButton7_Click,  &Form1::PushButton8_Click,  &Form1::PushButton9_Click,
        &Form1::PushButton10_Click, &Form1::PushButton11_Click, &Form1::PushButton12_Click};
    for (int number = 1; number <= 12; ++number) {
        connect(PushButton(number), &QPushButton::clicked, this, clicks[number - 1]);
    }
}

void Form1::Form_Load() {
    ReportingProcedure procedure(*platform_.dialogs, QString::fromLatin1(location::kFormLoad));
    procedure.Step(step::formLoad::kApplySkin, [&] { ApplySkin(); });
    const QString handCursor = platform_.programFolder + QStringLiteral("/HAND-M.CUR");
    if (procedure.Test(step::formLoad::kTestHandCursor,
                       [&] { return QFileInfo(handCursor).lastModified().isValid(); })) {
        procedure.Step(step::formLoad::kLoadHandCursor, [&] { LoadHandCursor(); });
    }
    procedure.Step(step::formLoad::kShowHomePage, [&] { ShowHomePageRandomly(); });
    procedure.Step(step::formLoad::kShowSplash, [&] { ShowSplash(); });
    if (procedure.Test(step::formLoad::kTestSnapshot, [&] {
            return platform_.settings->GetSetting(QStringLiteral("Snapshot"), QString()).isEmpty();
        })) {
        procedure.Step(step::formLoad::kRecordSnapshot, [&] { RecordSampleSnapshot(); });
    }
    procedure.Step(step::formLoad::kWindowTitle,
                   [&] { setWindowTitle(QString::fromLatin1(kProductName)); });
    procedure.Step(step::formLoad::kWindowIcon,
                   [&] { setWindowIcon(QIcon(QStringLiteral(":/quorvid.png"))); });
    procedure.Step(step::formLoad::kInputColumn,
                   [&] { inputList_.AddColumn(QStringLiteral(" Video File/s")); });
    procedure.Step(step::formLoad::kInputColumnWidth, [&] { inputList_.SetColumnWidth(1, 7000); });
    procedure.Step(step::formLoad::kResultColumns,
                   [&] { ResultsGrid(resultsGrid_).CreateResultColumns(); });
}

void Form1::ShowCentred() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
}

void Form1::ApplySkin() {
    const QString skin = platform_.programFolder + QStringLiteral("/x/o.cjs");
    const QFileInfo info(skin);
    if (!info.isFile() || info.isHidden()) {
        return;
    }
    QPalette skinned = palette();
    skinned.setColor(QPalette::Window, skinned.color(QPalette::Button));
    setPalette(skinned);
    QFile file(skin);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StepFailure(QStringLiteral("Cannot read the skin file ") + skin +
                          QStringLiteral(": ") + file.errorString());
    }
    setStyleSheet(QString::fromUtf8(file.readAll()));
    skinned_ = true;
}

void Form1::LoadHandCursor() {
    const QString path = platform_.programFolder + QStringLiteral("/HAND-M.CUR");
    QImageReader reader(path, "ico");
    const QImage image = reader.read();
    if (image.isNull()) {
        throw StepFailure(QStringLiteral("Invalid picture: ") + path + QStringLiteral(" (") +
                          reader.errorString() + QLatin1Char(')'));
    }
    const QPoint hotSpot = CursorHotSpot(path);
    mouseIcon_ = QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

void Form1::ShowHomePageRandomly() {
    platform_.random->Seed(platform_.clock->SecondsSinceMidnight());
    const int draw = static_cast<int>(platform_.random->NextUniform() * 100) + 1;
    if (draw == 7) {
        platform_.urls->Open(QUrl(QString::fromLatin1(address::kHomePage)));
    }
}

void Form1::ShowSplash() {
    if (!splash_) {
        splash_ = std::make_unique<Splash>(platform_);
    }
    splash_->SplashShow();
}

void Form1::RecordSampleSnapshot() {
    BuildSampleSnapshot(platform_);
}

void Form1::ApplyPointer(PointerShape value) {
    if (value == MousePointerState::kHourglass) {
        setCursor(Qt::WaitCursor);
    } else if (value == MousePointerState::kCustom && mouseIcon_) {
        setCursor(*mouseIcon_);
    } else {
        unsetCursor();
    }
}

void Form1::Form_MouseMove() {
    if (!pointer_.busy()) {
        pointer_.set(MousePointerState::kDefault);
    }
}

void Form1::PushButton_MouseMove() {
    if (!pointer_.busy()) {
        pointer_.set(MousePointerState::kCustom);
    }
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove &&
        std::find(buttons_.begin(), buttons_.end(), watched) != buttons_.end()) {
        PushButton_MouseMove();
        // An idle button passes mouse moves on to the window, whose own rule
        // would set the arrow again.
        if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::PushButton1_Click() {
    AddFilesCommand(context_);
}

void Form1::PushButton2_Click() {
    extraction_.PushButton2_Click();
}

void Form1::PushButton3_Click() {
    AddFolderCommand(context_);
}

void Form1::PushButton4_Click() {
    CopyResultsToClipboardCommand(context_);
}

void Form1::PushButton5_Click() {
    ShowFixedMessage(location::kPushButton5, HelpMessage());
}

void Form1::PushButton6_Click() {
    ReportingProcedure procedure(*platform_.dialogs, QString::fromLatin1(location::kPushButton6));
    procedure.Step(step::clearResults::kClearRows, [&] { ResultsGrid(resultsGrid_).ClearRows(); });
}

void Form1::PushButton7_Click() {
    ReportingProcedure procedure(*platform_.dialogs, QString::fromLatin1(location::kPushButton7));
    if (procedure.Test(step::clearInput::kTestIdle, [&] { return !pointer_.busy(); })) {
        procedure.Step(step::clearInput::kClearItems, [&] { inputList_.ClearItems(); });
    }
}

void Form1::PushButton8_Click() {
    SaveResultsAsTextFileCommand(context_);
}

void Form1::PushButton9_Click() {
    SaveResultsAsSpreadsheetCommand(context_);
}

bool Form1::SaveResultsAsExcelFileIsExcelInstalled() {
    return quorvid::SaveResultsAsExcelFileIsExcelInstalled(platform_);
}

void Form1::PushButton10_Click() {
    LoadSamplesCommand(context_);
}

void Form1::PushButton11_Click() {
    ShowFixedMessage(location::kPushButton11, ExcelHintMessage());
}

void Form1::PushButton12_Click() {
    ShowFixedMessage(location::kPushButton12, AddFieldsMessage());
}

void Form1::ShowFixedMessage(const char* location, const QString& text) {
    ReportingProcedure procedure(*platform_.dialogs, QString::fromLatin1(location));
    procedure.Step(step::fixedMessage::kShow, [&] { platform_.dialogs->Message(text); });
}

void Form1::RemoveSelectedInputItem() {
    if (pointer_.busy() || inputList_.ItemCount() == 0) {
        return;
    }
    // With nothing selected there is nothing to remove.
    if (const int selected = inputList_.SelectedIndex(); selected != 0) {
        inputList_.RemoveItem(selected);
    }
}

void Form1::ListView1_DblClick() {
    RemoveSelectedInputItem();
}

void Form1::ListView1_KeyDown(int keyCode, int /*shift*/) {
    if (keyCode == ListViewControl::kKeyDelete) {
        RemoveSelectedInputItem();
    }
}

void Form1::ListView1_ItemClick(int /*index*/) {
    listView1Mouse_->ItemClick();
}

void Form1::ListView1_MouseDown(int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {
    listView1Mouse_->MouseDown();
}

void Form1::ListView1_MouseMove(int /*button*/, int /*shift*/, int x, int y) {
    Form_MouseMove();
    listView1Mouse_->MouseMove(x, y);
}

void Form1::ListView1_MouseUp(int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {
    listView1Mouse_->MouseUp();
}

void Form1::ListView1_OLEDragOver(const QMimeData& data, int& effect) {
    if (!OffersFileList(data)) {
        effect = 0;
    }
}

void Form1::ListView1_OLEDragDrop(const QMimeData& data) {
    AddDroppedPaths(context_, DroppedPaths(data));
}

void Form1::ListView2_MouseMove(int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {
    Form_MouseMove();
}

void Form1::Form_QueryUnload() {
    platform_.events->DoEvents();
    platform_.events->DoEvents();
}

void Form1::Form_Unload() {
    platform_.programEnd->EndProgram();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

}  // namespace quorvid
