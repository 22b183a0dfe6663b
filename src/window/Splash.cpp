#include "window/Splash.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include "core/shell/files/FileSystemObject.h"
#include "core/shell/files/PathExists.h"
#include "core/shell/platform/DevelopmentRun.h"
#include "core/shell/platform/Dialogs.h"
#include "core/shell/platform/EventPump.h"
#include "core/shell/platform/Platform.h"
#include "core/shell/platform/SettingsStore.h"
#include "core/shell/platform/SystemServices.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

constexpr auto kShowAgainKey = "ShowAgain";
constexpr int kCheckBoxGapTwips = 20;
constexpr int kCheckBoxLeftTwips = 120;
constexpr int kFrameReachTwips = 10000;
constexpr int kFrameInsetTwips = 10;
// Each pass of the wait sleeps this long, so a live window costs no processor core.
constexpr unsigned long kWaitPassMilliseconds = 10;

int ToPixels(int twips) {
    return twips / Splash::kTwipsPerPixel;
}

double ToNumber(const QString& text) {
    bool ok = false;
    double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok) {
        value = QLocale::system().toDouble(text.trimmed(), &ok);
    }
    if (!ok) {
        throw StepFailure(QStringLiteral("Type mismatch: \"%1\" is not a number").arg(text));
    }
    return value;
}

}  // namespace

Splash::Splash(Platform& platform)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), platform_(platform) {
    Image1 = new QLabel(this);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Check1 = new QCheckBox(QStringLiteral("Hide this at next startup"), this);
    for (QFrame*& line : lineWidgets_) {
        line = new QFrame(this);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, Qt::black);
        line->setPalette(palette);
    }
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    connect(Check1, &QCheckBox::clicked, this, [this] {
        // A click has no report to go to; a store that cannot be written keeps
        // the old choice.
        try {
            Check1_Click();
        } catch (const std::exception&) {
        }
    });
}

void Splash::SplashShow() {
    const QString showAgain =
        platform_.settings->GetSetting(QString::fromLatin1(kShowAgainKey), QStringLiteral("0"));
    if (ToNumber(showAgain) != 0) {
        return;
    }
    const QString name = FirstPicture();
    if (name.isEmpty()) {
        return;
    }
    const QChar separator = QDir::separator();
    const QString path =
        platform_.programFolder + separator + QStringLiteral("Splash") + separator + name;
    if (!PathExists(path)) {
        return;
    }
    setWindowTitle(QString::fromLatin1(kProductName));
    const QPixmap picture(path);
    if (picture.isNull()) {
        throw StepFailure(QStringLiteral("Invalid picture: ") + path);
    }
    Layout(picture);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    WaitSeconds(IsDevelopmentRun() ? kDevelopmentDisplaySeconds : kDisplaySeconds);
    hide();
}

QString Splash::FirstPicture() const {
    const QChar separator = QDir::separator();
    std::vector<FolderEntry> entries;
    try {
        entries = FileSystemObject().ReadFolder(platform_.programFolder + separator +
                                                QStringLiteral("Splash"));
    } catch (const FileSystemError&) {
        return {};
    }
    constexpr int kNotPlain = attribute::kHidden | attribute::kSystem | attribute::kDirectory;
    for (const FolderEntry& entry : entries) {
        if (entry.validText && (entry.attributes & kNotPlain) == 0 &&
            (entry.attributes & attribute::kArchive) != 0) {
            return entry.name;
        }
    }
    return {};
}

void Splash::Layout(const QPixmap& picture) {
    Image1->move(0, 0);
    Image1->setPixmap(picture);
    const int width = picture.width() * kTwipsPerPixel;
    const int height = picture.height() * kTwipsPerPixel + kExtraHeightTwips;
    Image1->resize(ToPixels(width), ToPixels(height));
    sizeTwips_ = QSize(width, height);
    setFixedSize(ToPixels(width), ToPixels(height));

    const int checkHeight = Check1->sizeHint().height() * kTwipsPerPixel;
    check1TopTwips_ = height - checkHeight - kCheckBoxGapTwips;
    Check1->resize(Check1->sizeHint());
    Check1->move(ToPixels(kCheckBoxLeftTwips), ToPixels(check1TopTwips_));

    lines_ = {{
        {0, 0, 0, kFrameReachTwips},
        {0, 0, kFrameReachTwips, 0},
        {width - kFrameInsetTwips, 0, width - kFrameInsetTwips, kFrameReachTwips},
        {0, height - kFrameInsetTwips, kFrameReachTwips, height - kFrameInsetTwips},
    }};
    for (size_t i = 0; i < lines_.size(); ++i) {
        const FrameLine& line = lines_[i];
        lineWidgets_[i]->setGeometry(ToPixels(line.x1), ToPixels(line.y1),
                                     ToPixels(line.x2 - line.x1) + 1,
                                     ToPixels(line.y2 - line.y1) + 1);
        lineWidgets_[i]->raise();
    }
}

void Splash::WaitSeconds(double seconds) {
    const Clock& clock = *platform_.clock;
    const double start = clock.SecondsSinceMidnight();
    for (;;) {
        const double now = clock.SecondsSinceMidnight();
        // A clock below the start has passed midnight: the wait ends there.
        if (now < start || now - start >= seconds) {
            return;
        }
        platform_.events->DoEvents();
        QThread::msleep(kWaitPassMilliseconds);
    }
}

void Splash::Check1_Click() {
    platform_.settings->SaveSetting(QString::fromLatin1(kShowAgainKey), Check1->isChecked()
                                                                            ? QStringLiteral("1")
                                                                            : QStringLiteral("0"));
}

}  // namespace quorvid
