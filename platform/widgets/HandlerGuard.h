#pragma once

#include <QString>

#include <exception>
#include <utility>

// The window library's one catch for an event handler: an exception that leaves the
// handler is shown in the standard error box with its message, and the program goes on.
namespace handlerguard {

// The message an exception carries, read as UTF-8.
QString messageOf(const std::exception& error);
void showUnknownError();
void showError(const std::exception& error);
// Shows a caught exception as run() does; for the errors of timer ticks
// (threading::setTickErrorReport).
void showException(std::exception_ptr error);

template <typename Handler> void run(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showError(error);
    } catch (...) {
        showUnknownError();
    }
}

// Wraps a handler for connecting it to a signal.
template <typename Handler> auto guarded(Handler handler) {
    return [handler = std::move(handler)](auto&&...) { run(handler); };
}

} // namespace handlerguard
