#include "platform/widgets/HandlerGuard.h"

#include "platform/widgets/MessageSeam.h"

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

} // namespace handlerguard
