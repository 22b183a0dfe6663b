#pragma once

#include <QObject>

namespace quorvid {

// The window's pointer value, which doubles as the busy flag: long commands set
// the hourglass and back, handlers that must keep out test for it.
class MousePointerState : public QObject {
    Q_OBJECT
  public:
    static constexpr int kDefault = 0;
    static constexpr int kHourglass = 11;
    static constexpr int kCustom = 99;

    int value() const { return value_; }
    bool busy() const { return value_ == kHourglass; }
    void set(int value) {
        if (value_ != value) {
            value_ = value;
            emit changed(value_);
        }
    }

  signals:
    void changed(int value);

  private:
    int value_ = kDefault;
};

}  // namespace quorvid
