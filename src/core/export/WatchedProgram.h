#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quorvid {

// Starts program in a session of its own, so that it outlives this program and
// is never ended with it. A small watcher process waits for it and then removes
// removeAfter (when given). Returns the program's exit status when it ends within
// waitMs milliseconds, nothing when it is still running then; in that case
// onLateExit (when given) gets the status if it ends within lateWindowMs more,
// through the event loop. Throws StepFailure when no process could be made.
std::optional<int> StartWatchedProgram(const QString& program, const QStringList& arguments,
                                       const QString& removeAfter, int waitMs,
                                       const std::function<void(int)>& onLateExit,
                                       int lateWindowMs);

}  // namespace quorvid
