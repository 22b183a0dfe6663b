#pragma once

#include <functional>

namespace quorvid {

// Runs work on a thread of its own while this thread's event loop turns, so that
// a long step (a large workbook being zipped) leaves the window painting and
// answering; what work throws is thrown here. Without an event loop to turn,
// work simply runs here.
void RunWhileEventsTurn(const std::function<void()>& work);

}  // namespace quorvid
