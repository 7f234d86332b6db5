#include "app/text/UnitBibliotecapalm.h"

#include "app/text/TextConventions.h"
#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

QString blanks(int count) {
    return QString(count, u' ');
}

class UnitBibliotecapalm : public ::testing::Test {
protected:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
};

class SqlText : public UnitBibliotecapalm, public ::testing::WithParamInterface<bool> {};

TEST_P(SqlText, AlwaysThreeDecimalsAndAPoint) {
    const ScopedRegionalSettings settings(GetParam() ? RegionalSettings::comma()
                                                     : RegionalSettings::point());
    const struct {
        double value;
        const char* text;
    } cases[] = {{0, "0.000"},       {1234.5678, "1234.568"}, {12.5, "12.500"},
                 {3, "3.000"},       {-0.25, "-0.250"},       {2.0005, "2.001"},
                 {-0.0004, "0.000"}, {1e7, "10000000.000"}};
    for (const auto& c : cases)
        EXPECT_EQ(FloatToSqlText(c.value), QString::fromLatin1(c.text)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(UnitBibliotecapalm, SqlText, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "comma" : "point"; });

TEST_F(UnitBibliotecapalm, StripAccentsKeepsLength) {
    EXPECT_EQ(StripAccents(QStringLiteral("Pão d'água")), QStringLiteral("Pao d.agua"));
    EXPECT_EQ(StripAccents(QString()), QString());
    EXPECT_EQ(StripAccents(QStringLiteral("''")), QStringLiteral(".."));
    const QString accented = QStringLiteral("àáâãäåçèéêëìíîïñòóôõöùüúÿÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÜÚÇç");
    ASSERT_EQ(accented.size(), 51);
    EXPECT_EQ(StripAccents(accented),
              QStringLiteral("aaaaaaceeeeiiiinooooouuuyAAAAAACEEEEIIIINOOOOOUUUCc"));
    EXPECT_EQ(StripAccents(QStringLiteral("ùüú ÙÜÚ")), QStringLiteral("uuu UUU"));
    // Outside the table: unchanged, typographic apostrophe included.
    const QString others = QString::fromUtf16(u"ûÛýÝœøØ\u2019ß€");
    EXPECT_EQ(StripAccents(others), others);
}

TEST_F(UnitBibliotecapalm, PadRightToCutsOrFills) {
    EXPECT_EQ(PadRightTo(QStringLiteral("ABC"), 5), QStringLiteral("ABC  "));
    EXPECT_EQ(PadRightTo(QStringLiteral("ABCDEFG"), 5), QStringLiteral("ABCDE"));
    EXPECT_EQ(PadRightTo(QStringLiteral("ABC"), 0), QString());
    EXPECT_EQ(PadRightTo(QStringLiteral("ABC"), -4), QString());
    EXPECT_EQ(PadRightTo(QString(), 3), blanks(3));
    EXPECT_EQ(PadRightTo(QStringLiteral("AB"), 500), QStringLiteral("AB") + blanks(150));
}

TEST_F(UnitBibliotecapalm, RepeatString) {
    EXPECT_EQ(RepeatString(QStringLiteral("ab"), 3), QStringLiteral("ababab"));
    EXPECT_EQ(RepeatString(QStringLiteral("ab"), 0), QString());
    EXPECT_EQ(RepeatString(QStringLiteral("ab"), -3), QString());
    EXPECT_EQ(RepeatString(QString(), 5), QString());
}

TEST_F(UnitBibliotecapalm, FormatFloatRightPadsAtMostNineteenBlanks) {
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), 7, 5), blanks(3) + QStringLiteral("5,00"));
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), 30, 5), blanks(19) + QStringLiteral("5,00"));
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), 3, 1234), QStringLiteral("1234,00"));
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), 7, -5), blanks(2) + QStringLiteral("-5,00"));
    EXPECT_EQ(FormatFloatRight(QStringLiteral("######0.00"), 12, 12.345),
              blanks(7) + QStringLiteral("12,35"));
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), -1, 5), QStringLiteral("5,00"));
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(FormatFloatRight(QStringLiteral("0.00"), 7, 5), blanks(3) + QStringLiteral("5.00"));
}

TEST_F(UnitBibliotecapalm, ReceiptLabelLineEndsAtColumn36) {
    const struct {
        QString label, value, line;
    } cases[] = {
        {QStringLiteral("Total"), blanks(3) + QStringLiteral("12,00 "),
         QStringLiteral("Total") + blanks(26) + QStringLiteral("12,00")},
        {QStringLiteral(" "), QString(13, u'-'), blanks(23) + QString(13, u'-')},
        {QStringLiteral("  Taxa de serviço  "), QStringLiteral("1,00"),
         QStringLiteral("Taxa de serviço") + blanks(17) + QStringLiteral("1,00")},
        {QString(40, u'L'), QStringLiteral("1,00"),
         QString(30, u'L') + blanks(2) + QStringLiteral("1,00")},
        {QStringLiteral("Total"), QString(34, u'9'), blanks(2) + QString(34, u'9')},
        {QStringLiteral("Total"), QString(40, u'9'), blanks(2) + QString(40, u'9')},
        {QString(), QString(), blanks(36)},
    };
    for (const auto& c : cases) {
        const QString line = ReceiptLabelLine(c.label, c.value);
        EXPECT_EQ(line, c.line) << line.toStdString();
    }
}

TEST_F(UnitBibliotecapalm, ReceiptItemLineUnderAComma) {
    const QString name = QStringLiteral("COCA COLA LATA 350ML GELADA");
    // R = "1,5" + "   4,00" + "    6,00": 18 characters, so the name keeps 16.
    EXPECT_EQ(ReceiptItemLine(name, QStringLiteral("1,5"), QStringLiteral("4,00"),
                              QStringLiteral("6,00")),
              QStringLiteral("COCA COLA LATA 3") + blanks(2) + QStringLiteral("1,5") + blanks(3) +
                  QStringLiteral("4,00") + blanks(4) + QStringLiteral("6,00"));
    EXPECT_EQ(ReceiptItemLine(QStringLiteral("  Suco  "), QStringLiteral(" 2 "),
                              QStringLiteral("3,5"), QStringLiteral("7")),
              QStringLiteral("Suco") + blanks(14) + blanks(2) + QStringLiteral("2") + blanks(3) +
                  QStringLiteral("3,50") + blanks(4) + QStringLiteral("7,00"));
    // A price of 1000 or more fills its seven places and touches the quantity.
    const QString wide = ReceiptItemLine(QStringLiteral("Vinho"), QStringLiteral("1"),
                                         QStringLiteral("1000"), QStringLiteral("1000"));
    EXPECT_EQ(wide, QStringLiteral("Vinho") + blanks(13) + blanks(2) + QStringLiteral("11000,00") +
                        blanks(1) + QStringLiteral("1000,00"));
    EXPECT_EQ(wide.size(), 36);
    EXPECT_EQ(ReceiptItemLine(QStringLiteral("Chopp"), QStringLiteral("0,3333"),
                              QStringLiteral("10"), QStringLiteral("3,333")),
              QStringLiteral("Chopp") + blanks(9) + blanks(2) + QStringLiteral("0,333") +
                  blanks(2) + QStringLiteral("10,00") + blanks(4) + QStringLiteral("3,33"));
}

TEST_F(UnitBibliotecapalm, ReceiptItemLineUnderAPoint) {
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(ReceiptItemLine(QStringLiteral("Agua"), QStringLiteral("2.5"), QStringLiteral("3"),
                              QStringLiteral("7.5")),
              QStringLiteral("Agua") + blanks(12) + blanks(2) + QStringLiteral("2.5") + blanks(3) +
                  QStringLiteral("3.00") + blanks(4) + QStringLiteral("7.50"));
}

TEST_F(UnitBibliotecapalm, ReceiptItemLineRejectsTextsThatAreNotNumbers) {
    const QString name = QStringLiteral("X");
    const QString one = QStringLiteral("1");
    EXPECT_THROW(ReceiptItemLine(name, QStringLiteral("um"), one, one), ConversionError);
    EXPECT_THROW(ReceiptItemLine(name, one, QStringLiteral("1.50"), one), ConversionError);
    EXPECT_THROW(ReceiptItemLine(name, one, one, QString()), ConversionError);
}

TEST_F(UnitBibliotecapalm, FlagSetSNGivenCases) {
    EXPECT_EQ(FlagSetSN(2048, 2048), QStringLiteral("S"));
    EXPECT_EQ(FlagSetSN(2047, 2048), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSN(3, 1), QStringLiteral("S"));
    EXPECT_EQ(FlagSetSN(-1, 1), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSN(5, 3), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSN(0, 0), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSN(16383, 16384), QStringLiteral("N"));
}

TEST_F(UnitBibliotecapalm, FlagSetSNIsABitTestBelow16384) {
    for (int word = 0; word < 16384; ++word) {
        for (int flag = 1; flag <= 8192; flag *= 2) {
            const QString expected = (word & flag) ? QStringLiteral("S") : QStringLiteral("N");
            ASSERT_EQ(FlagSetSN(word, flag), expected) << word << " " << flag;
        }
    }
}

TEST_F(UnitBibliotecapalm, FlagSetSNOf16384ReadsAsManyBits) {
    EXPECT_EQ(FlagSetSN(16384, 1), QStringLiteral("N"));
    for (int flag = 2; flag <= 8192; flag *= 2)
        EXPECT_EQ(FlagSetSN(16384, flag), QStringLiteral("S")) << flag;
}

} // namespace
