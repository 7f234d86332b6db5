#include "app/QibClientServ/QibClientServ.h"

#include "app/settings/SettingsFile.h"
#include "platform/DataFolder.h"

#include <exception>
#include <optional>
#include <string>

namespace {

std::optional<QString> settingsLine(int number) {
    NumberedLines lines;
    try {
        lines =
            ReadNumberedLines(datafolder::filePath(QString::fromUtf16(kQibClientServSettingsFile)));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (number >= lines.count())
        return std::nullopt;
    return lines.line(number);
}

QString answer(std::int32_t what) {
    switch (what) {
    case 6:
        return settingsLine(0).value_or(QStringLiteral("nil"));
    case 1:
        return settingsLine(1).value_or(QString());
    default:
        return {};
    }
}

} // namespace

extern "C" const char16_t* qbx(std::int32_t what) {
    static thread_local std::u16string text;
    try {
        const QString value = answer(what);
        text.assign(reinterpret_cast<const char16_t*>(value.utf16()),
                    static_cast<std::size_t>(value.size()));
    } catch (...) {
        text.clear();
    }
    return text.c_str();
}
