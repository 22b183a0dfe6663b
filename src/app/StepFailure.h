#pragma once

#include <QString>
#include <stdexcept>

namespace quorvid {

// A failed step of a command. Routines throw it; the reporting procedure that
// runs the step catches it, shows the error report and goes on.
class StepFailure : public std::runtime_error {
  public:
    explicit StepFailure(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}

    const QString& description() const { return description_; }

  private:
    QString description_;
};

}  // namespace quorvid
