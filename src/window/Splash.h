#pragma once

#include <QSize>
#include <QWidget>
#include <array>

class QCheckBox;
class QFrame;
class QLabel;

namespace quorvid {

struct Platform;

// The start-up picture from the Splash folder beside the program, framed by four
// lines, with a box that turns it off for later starts.
class Splash : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTwipsPerPixel = 15;
    // Room below the picture for the check box.
    static constexpr int kExtraHeightTwips = 300;
    static constexpr double kDisplaySeconds = 4;
    static constexpr double kDevelopmentDisplaySeconds = 0.4;

    // One of the frame lines, from (x1, y1) to (x2, y2) in twips.
    struct FrameLine {
        int x1, y1, x2, y2;
    };

    explicit Splash(Platform& platform);

    // Shows the picture for its display time and hides it again; returns at once
    // when the user has turned the splash off or there is no picture. Throws
    // StepFailure for a "ShowAgain" that is no number or a picture that cannot load.
    void SplashShow();
    void Check1_Click();

    QLabel* Image1 = nullptr;
    QCheckBox* Check1 = nullptr;

    // The layout of the last show, in twips.
    QSize SizeTwips() const { return sizeTwips_; }
    int Check1TopTwips() const { return check1TopTwips_; }
    const FrameLine& Line(int number) const { return lines_.at(number - 1); }

  private:
    void WaitSeconds(double seconds);
    QString FirstPicture() const;
    void Layout(const QPixmap& picture);

    Platform& platform_;
    QSize sizeTwips_;
    int check1TopTwips_ = 0;
    std::array<FrameLine, 4> lines_{};
    std::array<QFrame*, 4> lineWidgets_{};
};

}  // namespace quorvid
