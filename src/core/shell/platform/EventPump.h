#pragma once

namespace quorvid {

// Lets pending window events run in the middle of a long command.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void DoEvents() = 0;
    // Whether a loop that shows its progress and yields per item should do so
    // for this item. A pump that paces the window by time answers yes a few
    // dozen times a second; by default every item is shown.
    virtual bool ProgressDue() { return true; }
};

}  // namespace quorvid
