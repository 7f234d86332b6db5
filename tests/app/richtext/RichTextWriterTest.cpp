#include "app/richtext/RichTextWriter.h"

#include "tests/app/richtext/RichTextReader.h"

#include <gtest/gtest.h>

namespace {

TEST(RichTextWriter, KeepsAccentedLettersAndSpecialCharactersThroughARoundTrip) {
    const QStringList lines{"  CONTA  Mesa: 000012", "Caipirinha de limão  R$ 12,50", "",
                            "{chave} \\barra\\\ttab", "€ – ✓ 𝄞"};
    const QByteArray rtf = richTextDocument(lines, "Lucida Console", 9);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_TRUE(rtf.contains("lim\\'e3o"));
    // Only seven-bit bytes: the document says how every other character is meant.
    for (const char byte : rtf)
        EXPECT_LT(static_cast<unsigned char>(byte), 0x80);
    const testsupport::RichTextRead read = testsupport::readRichText(rtf);
    EXPECT_EQ(read.fontFamily, "Lucida Console");
    EXPECT_EQ(read.halfPoints, 18);
    EXPECT_EQ(read.lines, lines);
}

} // namespace
