#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

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

// Runs one step's action; the description of its failure, or nothing when it
// succeeded.
template <typename Action>
std::optional<QString> FailureOf(Action&& action) {
    try {
        std::forward<Action>(action)();
        return std::nullopt;
    } catch (const StepFailure& failure) {
        return failure.description();
    } catch (const std::exception& failure) {
        return QString::fromLocal8Bit(failure.what());
    }
}

}  // namespace quorvid
