#include "app/core/DozEdizSettings.h"
#include "tests/support/TestFiles.h"

#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

using testsupport::crlfLines;

// Every line a text of its own, with accents Windows-1252 holds and one it lacks.
DozEdizSettings everyLineDistinct() {
    DozEdizSettings settings;
    settings.destinations = {"Impressora Salão", "Cozinha €", "Informar Porta", "Monitor Cozinha",
                             "Nao Imprimir"};
    settings.feedLines = "3";
    settings.feedLinesAgain = "4";
    settings.groupItems = "S";
    settings.addresses = {"192.168.0.50", "a1", "a2", "a3", "10.0.0.9"};
    settings.fontSize = "12";
    settings.ports = {"/dev/usb/lp0", "p1", "/tmp/cozinha 2.txt", "p3", "/tmp/café"};
    return settings;
}

TEST(DozEdizSettings, WritesTheNineteenLinesInTheirPlaces) {
    EXPECT_EQ(everyLineDistinct().toBytes(),
              crlfLines({"Impressora Sal\xE3o", "Cozinha \x80", "3", "4", "Informar Porta",
                         "Monitor Cozinha", "Nao Imprimir", "S", "192.168.0.50", "a1", "a2", "a3",
                         "10.0.0.9", "12", "/dev/usb/lp0", "p1", "/tmp/cozinha 2.txt", "p3",
                         "/tmp/caf\xE9"}));
    EXPECT_EQ(DozEdizSettings().toBytes(), QByteArray("\r\n").repeated(19));
}

TEST(DozEdizSettings, ReadsBackWhatItWrote) {
    const DozEdizSettings written = everyLineDistinct();
    EXPECT_EQ(DozEdizSettings::fromLines(decodeNumberedLines(written.toBytes())), written);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("DozEdiz.INI");
    written.write(path);
    EXPECT_EQ(DozEdizSettings::read(path), written);
}

TEST(DozEdizSettings, MissingLinesReadAsEmptyAndLinesPastTheLastAreLeftOut) {
    const DozEdizSettings shortFile =
        DozEdizSettings::fromLines(decodeNumberedLines("Visualizar\nCozinha\r\n3"));
    DozEdizSettings expected;
    expected.destinations[0] = "Visualizar";
    expected.destinations[1] = "Cozinha";
    expected.feedLines = "3";
    EXPECT_EQ(shortFile, expected);
    EXPECT_EQ(shortFile.toBytes(),
              crlfLines({"Visualizar", "Cozinha", "3"}) + QByteArray("\r\n").repeated(16));

    const QByteArray longFile = everyLineDistinct().toBytes() + "extra\r\n";
    EXPECT_EQ(DozEdizSettings::fromLines(decodeNumberedLines(longFile)).toBytes(),
              everyLineDistinct().toBytes());
}

TEST(DozEdizSettings, AMissingFileFailsToRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_THROW(DozEdizSettings::read(dir.filePath("DozEdiz.INI")), std::runtime_error);
    EXPECT_THROW(everyLineDistinct().write(dir.filePath("missing/DozEdiz.INI")),
                 std::runtime_error);
}

QByteArray encoded(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

struct EncodingCase {
    const char* name;
    SettingsEncoding encoding;
    QByteArray bom;
    QStringConverter::Encoding converter;
};

class DozEdizEncoding : public ::testing::TestWithParam<EncodingCase> {};

// The file comes back in the encoding it was read in, with one byte-order mark where it had
// one; Windows-1252 has none and is the encoding of a record never read.
TEST_P(DozEdizEncoding, IsKeptForTheNextWrite) {
    const EncodingCase& c = GetParam();
    const QString text = QStringLiteral("Impressora Salão\r\nCozinha €\r\n5\r\n5\r\n");
    const QByteArray file =
        c.bom + (c.encoding == SettingsEncoding::Ansi
                     ? QByteArray("Impressora Sal\xE3o\r\nCozinha \x80\r\n5\r\n5\r\n")
                     : encoded(c.converter, text));
    DozEdizSettings settings = DozEdizSettings::fromLines(decodeNumberedLines(file));
    ASSERT_EQ(settings.encoding, c.encoding);
    EXPECT_EQ(settings.destinations[0], QStringLiteral("Impressora Salão"));
    EXPECT_EQ(settings.destinations[1], QStringLiteral("Cozinha €"));

    settings.fontSize = QStringLiteral("9");
    const QString expected = text + QStringLiteral("\r\n").repeated(9) + QStringLiteral("9\r\n") +
                             QStringLiteral("\r\n").repeated(5);
    const QByteArray written = settings.toBytes();
    ASSERT_TRUE(written.startsWith(c.bom));
    EXPECT_EQ(written.mid(c.bom.size()),
              c.encoding == SettingsEncoding::Ansi
                  ? QByteArray("Impressora Sal\xE3o\r\nCozinha \x80\r\n5\r\n5\r\n") +
                        QByteArray("\r\n").repeated(9) + "9\r\n" + QByteArray("\r\n").repeated(5)
                  : encoded(c.converter, expected));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DozEdizEncoding,
    ::testing::Values(
        EncodingCase{"Windows1252", SettingsEncoding::Ansi, {}, QStringConverter::Latin1},
        EncodingCase{"Utf8", SettingsEncoding::Utf8, "\xEF\xBB\xBF", QStringConverter::Utf8},
        EncodingCase{"Utf16LE", SettingsEncoding::Utf16LE, QByteArray("\xFF\xFE", 2),
                     QStringConverter::Utf16LE},
        EncodingCase{"Utf16BE", SettingsEncoding::Utf16BE, QByteArray("\xFE\xFF", 2),
                     QStringConverter::Utf16BE}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) {
        return std::string(info.param.name);
    });

struct FeedCase {
    const char* line3;
    const char* line4;
    std::optional<int> count;
};

class DozEdizFeedLines : public ::testing::TestWithParam<FeedCase> {};

TEST_P(DozEdizFeedLines, TakeTheFourthLineWhenItHoldsANumber) {
    const FeedCase& c = GetParam();
    DozEdizSettings settings;
    settings.feedLines = c.line3;
    settings.feedLinesAgain = c.line4;
    EXPECT_EQ(settings.feedLineCount(), c.count) << c.line3 << " / " << c.line4;
}

INSTANTIATE_TEST_SUITE_P(Cases, DozEdizFeedLines,
                         ::testing::Values(FeedCase{"9", "x", 9}, FeedCase{"9", "+12", 12},
                                           FeedCase{"x", "5", 5}, FeedCase{"x", "y", std::nullopt},
                                           FeedCase{"", "", std::nullopt},
                                           FeedCase{"3", "-1", -1}));

} // namespace
