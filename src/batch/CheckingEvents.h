#pragma once

#include <functional>

#include "core/shell/platform/EventPump.h"

namespace quorvid {

// The core's loops yield to the window's events; here there are none, and a
// yield only runs the check given (the folder walk's check for Ctrl+C), if any.
class CheckingEvents : public EventPump {
  public:
    CheckingEvents() = default;
    explicit CheckingEvents(std::function<void()> check) : check_(std::move(check)) {}
    void DoEvents() override {
        if (check_) {
            check_();
        }
    }

  private:
    std::function<void()> check_;
};

}  // namespace quorvid
