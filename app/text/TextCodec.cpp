#include "app/text/TextCodec.h"

#include "app/text/TextConventions.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <utility>

namespace {

const QString key = QStringLiteral("40267318");

std::function<void()>& processMessagesHook() {
    static std::function<void()> hook;
    return hook;
}

// Key positions run 1..8 and round again; the offset byte uses none.
class KeyPosition {
public:
    int advance() {
        m_position = m_position < key.size() ? m_position + 1 : 1;
        return key[m_position - 1].unicode();
    }

private:
    int m_position = 0;
};

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

int hexValue(const QString& digits) {
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), isHexDigit))
        throw ConversionError(QStringLiteral("'%1' is not a valid hexadecimal value").arg(digits));
    return digits.toInt(nullptr, 16);
}

QString hexByte(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper();
}

QString encode(const QString& source) {
    const auto seed = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::mt19937 generator(static_cast<std::mt19937::result_type>(seed));
    int offset = std::uniform_int_distribution<int>(0, 255)(generator);

    QString result = hexByte(offset);
    KeyPosition keyPosition;
    for (const QChar c : source) {
        if (const auto& hook = processMessagesHook())
            hook();
        const int value = ((offset + c.unicode()) % 255) ^ keyPosition.advance();
        result += hexByte(value);
        offset = value;
    }
    return result;
}

QString decode(const QString& source) {
    int offset = hexValue(textPiece(source, 1, 2));
    QString result;
    KeyPosition keyPosition;
    qsizetype i = 3;
    do {
        const int coded = hexValue(textPiece(source, i, 2));
        int value = coded ^ keyPosition.advance();
        value = offset < value ? value - offset : value + 255 - offset;
        result += QChar(static_cast<char16_t>(value));
        offset = coded;
        i += 2;
    } while (i < source.size());
    return result;
}

} // namespace

QString TextCodec(const QString& mode, const QString& source) {
    if (source.isEmpty())
        return {};
    const QString upperMode = upperCaseText(mode);
    if (upperMode == u"C")
        return encode(source);
    if (upperMode == u"D")
        return decode(source);
    return {};
}

std::function<void()> setProcessMessagesHook(std::function<void()> hook) {
    return std::exchange(processMessagesHook(), std::move(hook));
}
