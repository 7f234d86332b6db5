#include "platform/widgets/HandlerGuard.h"

#include "platform/widgets/MessageSeam.h"

#include <utility>

namespace handlerguard {

namespace {
const QString kUnknownError = QStringLiteral("Unknown error");
}

QString messageOf(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

QString messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return messageOf(caught);
    } catch (...) {
        return kUnknownError;
    }
}

void showError(const std::exception& error) {
    messages::showStandardError(messageOf(error));
}

void showUnknownError() {
    messages::showStandardError(kUnknownError);
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
