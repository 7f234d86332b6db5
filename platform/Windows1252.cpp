#include "Windows1252.h"

#include <array>

namespace windows1252 {
namespace {

// 0x80 to 0x9F; the five bytes Windows leaves undefined map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteFor(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == unit)
            return static_cast<int>(0x80 + i);
    return -1;
}

char replacementFor(QChar c) {
    // A decomposed letter (ã = a + tilde) keeps its base when the base is encodable.
    const QString decomposed = c.decomposition();
    if (!decomposed.isEmpty()) {
        const int base = byteFor(decomposed.at(0).unicode());
        if (base > 0)
            return static_cast<char>(base);
    }
    return '?';
}

} // namespace

QString decode(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char raw : bytes) {
        const auto byte = static_cast<unsigned char>(raw);
        if (byte >= 0x80 && byte < 0xA0)
            text.append(QChar(kHighControls[byte - 0x80]));
        else
            text.append(QChar(byte));
    }
    return text;
}

QByteArray encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes.append('?');
            ++i;
            continue;
        }
        const int byte = byteFor(c.unicode());
        bytes.append(byte >= 0 ? static_cast<char>(byte) : replacementFor(c));
    }
    return bytes;
}

bool canEncode(const QString& text) {
    for (const QChar c : text)
        if (byteFor(c.unicode()) < 0)
            return false;
    return true;
}

} // namespace windows1252
