#include "platform/Windows1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Windows1252, DecodesEveryByteAndEncodesItBack) {
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = windows1252::decode(all);
    EXPECT_EQ(text.size(), 255);
    EXPECT_TRUE(windows1252::canEncode(text));
    EXPECT_EQ(windows1252::encode(text), all);
}

TEST(Windows1252, HighControlRangeDiffersFromLatin1) {
    EXPECT_EQ(windows1252::decode(QByteArray("\x80\x93\x9c", 3)), QString::fromUtf8("€“œ"));
    EXPECT_EQ(windows1252::encode(QString::fromUtf8("Pão €")), QByteArray("P\xe3o \x80"));
}

TEST(Windows1252, UnencodableCharactersGetASafeReplacement) {
    // ő has no byte of its own but decomposes to o; the Greek and emoji have no base.
    EXPECT_EQ(windows1252::encode(QString::fromUtf8("ő")), QByteArray("o"));
    EXPECT_EQ(windows1252::encode(QString::fromUtf8("Ωx")), QByteArray("?x"));
    EXPECT_EQ(windows1252::encode(QString::fromUtf8("a😀b")), QByteArray("a?b"));
    EXPECT_FALSE(windows1252::canEncode(QString::fromUtf8("ő")));
}

} // namespace
