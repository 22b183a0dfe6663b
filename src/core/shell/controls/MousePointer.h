#pragma once

#include <QObject>

namespace quorvid {

// The shapes a MousePointer property takes, by the numbers the property holds.
enum class PointerShape : int {
    Default = 0,     // whatever the control's own is
    Arrow = 1,       // the list controls' arrow
    Hourglass = 11,  // the window's busy flag
    Custom = 99,     // the hand cursor read from the file beside the program
};

// The window's pointer value, which doubles as the busy flag: long commands set
// the hourglass and back, handlers that must keep out test for it.
class MousePointerState : public QObject {
    Q_OBJECT
  public:
    static constexpr PointerShape kDefault = PointerShape::Default;
    static constexpr PointerShape kHourglass = PointerShape::Hourglass;
    static constexpr PointerShape kCustom = PointerShape::Custom;

    PointerShape value() const { return value_; }
    bool busy() const { return value_ == kHourglass; }
    void set(PointerShape value) {
        if (value_ != value) {
            value_ = value;
            emit changed(value_);
        }
    }

  signals:
    void changed(PointerShape value);

  private:
    PointerShape value_ = kDefault;
};

}  // namespace quorvid
