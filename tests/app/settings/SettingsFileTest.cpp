#include "app/settings/SettingsFile.h"

#include "platform/LockedFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

struct LinesCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
    SettingsEncoding encoding;
};

class NumberedLinesDecoding : public ::testing::TestWithParam<LinesCase> {};

TEST_P(NumberedLinesDecoding, GivesTheLinesOfTheFile) {
    const LinesCase& c = GetParam();
    const NumberedLines lines = decodeNumberedLines(c.bytes);
    EXPECT_EQ(lines.encoding(), c.encoding);
    ASSERT_EQ(lines.count(), c.lines.size());
    for (int i = 0; i < c.lines.size(); ++i)
        EXPECT_EQ(lines.line(i), c.lines.at(i)) << "line " << i;
    // A line past the end reads as empty text.
    EXPECT_EQ(lines.line(lines.count()), QString());
    EXPECT_EQ(lines.line(18), QString());
    EXPECT_EQ(lines.line(-1), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberedLinesDecoding,
    ::testing::Values(
        LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}, SettingsEncoding::Ansi},
        LinesCase{"LoneCr", "a\rb\r", {"a", "b"}, SettingsEncoding::Ansi},
        LinesCase{"LoneLf", "a\nb", {"a", "b"}, SettingsEncoding::Ansi},
        LinesCase{"Mixed", "a\r\n\r\rb\n\nc", {"a", "", "", "b", "", "c"}, SettingsEncoding::Ansi},
        LinesCase{"Empty", "", {}, SettingsEncoding::Ansi},
        LinesCase{"LongFirstLine",
                  QByteArray(60, 'P') + "\r\nsecond\r\n",
                  {QString(60, u'P'), "second"},
                  SettingsEncoding::Ansi},
        LinesCase{"Utf8Bom",
                  "\xEF\xBB\xBF"
                  "Caf\xC3\xA9\r\nS\r\n",
                  {QString::fromUtf8("Café"), "S"},
                  SettingsEncoding::Utf8},
        LinesCase{"Utf16LeBom",
                  QByteArray("\xFF\xFE"
                             "a\0\r\0\n\0\xe9\0",
                             10),
                  {"a", QString::fromUtf8("é")},
                  SettingsEncoding::Utf16LE},
        LinesCase{"Utf16BeBom",
                  QByteArray("\xFE\xFF\0a\0\n\0b", 8),
                  {"a", "b"},
                  SettingsEncoding::Utf16BE}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

TEST(NumberedLines, Windows1252WithoutBomKeepsItsAccents) {
    // 0x80 to 0x9F are not Latin-1 there.
    const NumberedLines lines = decodeNumberedLines("Cozinha P\xe3o\r\nCaf\xe9 \x80\r\n");
    EXPECT_EQ(lines.line(0), QString::fromUtf8("Cozinha Pão"));
    EXPECT_EQ(lines.line(1), QString::fromUtf8("Café €"));
}

TEST(NumberedLines, FileHeldForWritingFailsToRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath("DozEdiz.INI");
    lockedfile::writeAll(path, "Visualizar\r\n");
    EXPECT_EQ(ReadNumberedLines(path).line(0), QStringLiteral("Visualizar"));

    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_THROW(ReadNumberedLines(path), std::runtime_error);
    ::close(fd);
    EXPECT_THROW(ReadNumberedLines(dir.filePath("missing.INI")), std::runtime_error);
}

TEST(AnsiTextLines, IgnoreAByteOrderMarkAsPlainText) {
    QTemporaryDir dir;
    const QString path = dir.filePath("SetupRede.Ini");
    lockedfile::writeAll(path, " 10.1.1.5 \r\n192.168.0.1\r\n");
    EXPECT_EQ(readAnsiTextLines(path), (QStringList{" 10.1.1.5 ", "192.168.0.1"}));
}

} // namespace
