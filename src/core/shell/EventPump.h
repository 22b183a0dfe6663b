#pragma once

namespace quorvid {

// Lets pending window events run in the middle of a long command.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void DoEvents() = 0;
};

}  // namespace quorvid
