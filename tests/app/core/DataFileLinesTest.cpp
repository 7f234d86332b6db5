#include "app/core/DataFileLines.h"
#include "app/core/BillSetup.h"
#include "app/core/OrderCounter.h"
#include "app/core/ReportFont.h"
#include "platform/LockedFile.h"
#include "tests/support/ScopedEnvVar.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A data folder of its own.
class DataFolder : public ::testing::Test {
protected:
    void writeFile(const QString& name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    QByteArray file(const QString& name) const {
        return lockedfile::readAll(m_data.filePath(name));
    }
    QString path(const QString& name) const { return m_data.filePath(name); }

private:
    QTemporaryDir m_data;
    const testsupport::ScopedEnvVar m_dataFolder{"TOBRASK_BARES_DIR", m_data.path()};
};

TEST_F(DataFolder, AMissingFileReadsAsEmptyLines) {
    EXPECT_EQ(datafilelines::read("setup.INI").count(), 0);
    EXPECT_EQ(BillSetup::read().coverLabel, "");
    EXPECT_EQ(ReportFont::read().pointSize(), 7);
    EXPECT_EQ(OrderCounter::read().next, "");
}

TEST_F(DataFolder, LinesAreWrittenInWindows1252WithCrLf) {
    datafilelines::write("x.INI", {QString::fromUtf8("Serviço"), "", "10"});
    EXPECT_EQ(file("x.INI"), QByteArray("Servi\xE7o\r\n\r\n10\r\n"));
    OrderCounter{"2"}.write();
    EXPECT_EQ(file("pedido.INI"), "2\r\n");
    ReportFont{"9"}.write();
    EXPECT_EQ(file("fonte.INI"), "9\r\n");
}

TEST_F(DataFolder, AFileHeldForWritingFailsToRead) {
    writeFile("fonte.INI", "9\r\n");
    const int fd = ::open(path("fonte.INI").toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_THROW(ReportFont::read(), std::runtime_error);
    ::close(fd);
}

// The point-of-sale system's own file: the values at their line numbers, whatever the
// other lines hold.
TEST_F(DataFolder, SetupLinesAreReadAtTheirNumbers) {
    QByteArray bytes;
    for (int line = 0; line < 25; ++line)
        bytes += "line " + QByteArray::number(line) + "\r\n";
    writeFile("SETUP.INI", bytes);
    const BillSetup setup = BillSetup::read();
    EXPECT_EQ(setup.serviceLabel, "line 0");
    EXPECT_EQ(setup.service, "line 1");
    EXPECT_EQ(setup.coverPerPerson, "line 2");
    EXPECT_EQ(setup.firstFooter, "line 10");
    EXPECT_EQ(setup.secondFooter, "line 11");
    EXPECT_EQ(setup.previewPrinter, "line 12");
    EXPECT_EQ(setup.coverLabel, "line 22");
}

TEST_F(DataFolder, SetupWrittenReadsBackWithTheOtherLinesEmpty) {
    const BillSetup written{.serviceLabel = "Taxa de servico",
                            .service = "10",
                            .coverPerPerson = "5",
                            .firstFooter = "Obrigado",
                            .secondFooter = "Volte sempre",
                            .previewPrinter = "PDF",
                            .coverLabel = "Couvert"};
    written.write();
    const NumberedLines lines = datafilelines::read("setup.INI");
    ASSERT_EQ(lines.count(), 23);
    for (const int empty : {3, 4, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21})
        EXPECT_EQ(lines.line(empty), "") << empty;
    const BillSetup read = BillSetup::read();
    EXPECT_EQ(read.toLines(), written.toLines());
    EXPECT_EQ(read.previewPrinter, "PDF");
    EXPECT_EQ(read.coverLabel, "Couvert");
}

struct FontCase {
    const char* name;
    QString line;
    int points;
};

class FontSize : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontSize, IsAWholePositiveNumberOrSeven) {
    EXPECT_EQ(ReportFont{GetParam().line}.pointSize(), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FontSize,
    ::testing::Values(FontCase{"Twelve", "12", 12}, FontCase{"LeadingBlanks", "  10", 10},
                      FontCase{"TrailingBlank", "10 ", 7}, FontCase{"Empty", "", 7},
                      FontCase{"Zero", "0", 7}, FontCase{"Negative", "-3", 7},
                      FontCase{"Fraction", "9,5", 7}, FontCase{"Letters", "grande", 7}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
