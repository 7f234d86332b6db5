#include "app/text/TextCodec.h"

#include "app/text/TextConventions.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

const QString encodeMode = QStringLiteral("C");
const QString decodeMode = QStringLiteral("D");

QString charactersFrom1To254() {
    QString text;
    for (char16_t code = 1; code <= 254; ++code)
        text += QChar(code);
    return text;
}

bool isUpperHex(const QString& text) {
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}

TEST(TextCodec, DecodesKnownForms) {
    // 'A' after offset 0 with key digit '4'; 'B' then goes through key digit '0'.
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("0075")), QStringLiteral("A"));
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("007587")), QStringLiteral("AB"));
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("004e")), QStringLiteral("z"));
    // Longer than the key: its digits come round again from the first.
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("5AA92F973194C6D732504082D879DF")),
              QStringLiteral("Cuvora 22 plus"));
}

TEST(TextCodec, RoundTripsEveryCodeFrom1To254) {
    const QString text = charactersFrom1To254();
    // Several encodings, so that several random offsets are tried.
    for (int run = 0; run < 20; ++run) {
        const QString encoded = TextCodec(encodeMode, text);
        ASSERT_EQ(encoded.size(), 2 + 2 * text.size());
        EXPECT_TRUE(isUpperHex(encoded)) << encoded.toStdString();
        EXPECT_EQ(TextCodec(decodeMode, encoded), text) << encoded.toStdString();
    }
}

TEST(TextCodec, TwoEncodingsOfOneTextUsuallyDiffer) {
    const QString name = QStringLiteral("Bar e Restaurante São João");
    QSet<QString> forms;
    for (int run = 0; run < 10; ++run) {
        const QString encoded = TextCodec(encodeMode, name);
        EXPECT_EQ(TextCodec(decodeMode, encoded), name);
        forms.insert(encoded);
    }
    EXPECT_GT(forms.size(), 1);
}

TEST(TextCodec, CodesZeroAnd255DependOnThePreviousByte) {
    // A previous byte of 255 brings code 0 back as 0; any other brings it back as 255.
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("FF34")), QString(QChar(u'\0')));
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("0034")), QString(QChar(u'\xff')));

    // Codes 0 and 255 encode alike, so each comes back as the offset decides.
    for (const char16_t code : {u'\0', u'\xff'}) {
        for (int run = 0; run < 10; ++run) {
            const QString encoded = TextCodec(encodeMode, QString(QChar(code)));
            const QChar expected =
                encoded.startsWith(QStringLiteral("FF")) ? QChar(u'\0') : QChar(u'\xff');
            EXPECT_EQ(TextCodec(decodeMode, encoded), QString(expected)) << encoded.toStdString();
        }
    }
}

TEST(TextCodec, CodesAbove255DoNotComeBack) {
    const QString encoded = TextCodec(encodeMode, QStringLiteral("€"));
    ASSERT_EQ(encoded.size(), 4);
    const QString decoded = TextCodec(decodeMode, encoded);
    ASSERT_EQ(decoded.size(), 1);
    EXPECT_LE(decoded[0].unicode(), 255);
}

TEST(TextCodec, MalformedSources) {
    for (const char* source : {"A", "AB", "00ZZ", "0G34", "00 4", "00-1", "0034G5", " 034"}) {
        EXPECT_THROW(TextCodec(decodeMode, QString::fromLatin1(source)), ConversionError) << source;
    }
    // Three characters: the third reads as a one-digit number.
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("ABC")), QString(QChar(char16_t(140))));
    // Odd lengths of five or more lose their last character.
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("00753")), QStringLiteral("A"));
    EXPECT_EQ(TextCodec(decodeMode, QStringLiteral("007587Z")), QStringLiteral("AB"));
}

TEST(TextCodec, ModesAndEmptySources) {
    const QString encoded = QStringLiteral("007587");
    EXPECT_EQ(TextCodec(QStringLiteral("d"), encoded), QStringLiteral("AB"));
    EXPECT_EQ(TextCodec(QStringLiteral("d"), TextCodec(QStringLiteral("c"), QStringLiteral("xy"))),
              QStringLiteral("xy"));
    for (const char* mode : {"X", "x", "", "CD", " D", "D "})
        EXPECT_EQ(TextCodec(QString::fromLatin1(mode), encoded), QString()) << mode;
    for (const char* mode : {"C", "D", "X"})
        EXPECT_EQ(TextCodec(QString::fromLatin1(mode), QString()), QString()) << mode;
    // A malformed source in a mode that does nothing is no error.
    EXPECT_EQ(TextCodec(QStringLiteral("X"), QStringLiteral("ZZ")), QString());
}

class ProcessMessagesHook : public ::testing::Test {
protected:
    int m_calls = 0;
    ScopedProcessMessagesHook m_hook{[this] { ++m_calls; }};
};

TEST_F(ProcessMessagesHook, RunsOncePerCharacterWhenEncoding) {
    const QString encoded = TextCodec(encodeMode, QStringLiteral("Cuvora"));
    EXPECT_EQ(m_calls, 6);
    TextCodec(decodeMode, encoded);
    TextCodec(encodeMode, QString());
    EXPECT_EQ(m_calls, 6);
}

} // namespace
