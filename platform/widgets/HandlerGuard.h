#pragma once

#include <QString>

#include <exception>
#include <utility>

// The window library's one catch for an event handler: an exception that leaves the
// handler is shown in the standard error box with its message, and the program goes on.
namespace handlerguard {

// The message an exception carries, read as UTF-8.
QString messageOf(const std::exception& error);
// The message of a caught exception as the error box shows it.
QString messageOf(const std::exception_ptr& error);
void showUnknownError();
void showError(const std::exception& error);
// Shows a caught exception: a std::exception by its message, anything else as an unknown
// error. run() and the errors of timer ticks (threading::setTickErrorReport) go through it.
void showException(std::exception_ptr error);

template <typename Handler> void run(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        showException(std::current_exception());
    }
}

// Wraps a handler for connecting it to a signal.
template <typename Handler> auto guarded(Handler handler) {
    return [handler = std::move(handler)](auto&&...) { run(handler); };
}

} // namespace handlerguard
