#include "platform/widgets/HandlerGuard.h"

#include "platform/widgets/MessageSeam.h"

#include <utility>

namespace handlerguard {

QString messageOf(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

void showError(const std::exception& error) {
    messages::showStandardError(messageOf(error));
}

void showUnknownError() {
    messages::showStandardError(QStringLiteral("Unknown error"));
}

void showException(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::exception& caught) {
        showError(caught);
    } catch (...) {
        showUnknownError();
    }
}

} // namespace handlerguard
