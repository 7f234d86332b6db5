#include "platform/printing/TextLayout.h"

#include "platform/Fonts.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

using printing::TextLayout;
using printing::TextPlacement;

class TextLayoutTest : public ::testing::Test {
protected:
    TextLayoutTest()
        : metrics(fonts::windowsFontPixels(QStringLiteral("Lucida Console"), 20)),
          lineHeight(metrics.height() + 2), charWidth(metrics.horizontalAdvance(u'M')) {}

    // A page of the given width in characters and height in text lines.
    TextLayout layout(qreal columns, qreal rows) const {
        return TextLayout(metrics, QSizeF(columns * charWidth, rows * lineHeight));
    }

    QFontMetricsF metrics;
    qreal lineHeight;
    qreal charWidth;
};

TEST_F(TextLayoutTest, LinesStandOneBelowTheOtherAndEmptyLinesAreAsHighAsTheFont) {
    TextLayout page = layout(40, 100);
    const auto first = page.placeLine("MESA 12");
    page.placeLine("");
    const auto third = page.placeLine("x");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].topLeft, QPointF(0, 0));
    EXPECT_EQ(first[0].text, "MESA 12");
    ASSERT_EQ(third.size(), 1u);
    EXPECT_DOUBLE_EQ(third[0].topLeft.y(), lineHeight + metrics.height());
    EXPECT_FALSE(third[0].newPageBefore);
}

TEST_F(TextLayoutTest, TextWiderThanThePageGoesOnInTheNextLine) {
    TextLayout page = layout(10.5, 100);
    const auto pieces = page.placeLine("0123456789ABCDEFGHIJKLMNO");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].text, "0123456789");
    EXPECT_EQ(pieces[1].text, "ABCDEFGHIJ");
    EXPECT_EQ(pieces[2].text, "KLMNO");
    EXPECT_EQ(pieces[1].topLeft, QPointF(0, lineHeight));
    EXPECT_EQ(pieces[2].topLeft, QPointF(0, 2 * lineHeight));
    // The next line comes after all three.
    EXPECT_DOUBLE_EQ(page.placeLine("z")[0].topLeft.y(), 3 * lineHeight);
}

TEST_F(TextLayoutTest, TabsAdvanceToMultiplesOfEightAverageCharacterWidths) {
    TextLayout page = layout(80, 100);
    const qreal tab = 8 * metrics.averageCharWidth();
    const auto pieces = page.placeLine("ab\tc\t\td");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_DOUBLE_EQ(pieces[0].topLeft.x(), 0);
    EXPECT_DOUBLE_EQ(pieces[1].topLeft.x(), tab);
    EXPECT_DOUBLE_EQ(pieces[2].topLeft.x(), 3 * tab);
    EXPECT_EQ(pieces[2].text, "d");
}

// A page of 10.5 line heights: a line may not start within two line heights of the
// bottom, so 9 lines fit (tops 0 to 8), the tenth starts a new page.
TEST_F(TextLayoutTest, ANewPageBeginsWithinTwoLineHeightsOfTheBottom) {
    TextLayout page = layout(40, 10.5);
    std::vector<TextPlacement> placed;
    for (int i = 0; i < 11; ++i)
        placed.push_back(page.placeLine(QString::number(i)).at(0));
    for (int i = 0; i < 9; ++i) {
        EXPECT_FALSE(placed[i].newPageBefore) << i;
        EXPECT_NEAR(placed[i].topLeft.y(), i * lineHeight, 1e-6) << i;
    }
    EXPECT_TRUE(placed[9].newPageBefore);
    EXPECT_DOUBLE_EQ(placed[9].topLeft.y(), 0);
    EXPECT_FALSE(placed[10].newPageBefore);
    EXPECT_NEAR(placed[10].topLeft.y(), lineHeight, 1e-6);
}

TEST_F(TextLayoutTest, TrailingEmptyLinesStartNoPage) {
    TextLayout page = layout(40, 10.5);
    for (int i = 0; i < 9; ++i)
        page.placeLine("x");
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(page.placeLine("").empty());
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
