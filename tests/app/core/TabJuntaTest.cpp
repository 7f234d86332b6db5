#include "app/core/TabJunta.h"

#include <gtest/gtest.h>

namespace {

QStringList indexes(const TabJunta& table) {
    QStringList keys;
    for (const TabJunta::Row& row : table.rowsInIndexOrder())
        keys.append(row.INDEX);
    return keys;
}

TEST(TabJunta, CutsItsTextFieldsToTheirWidths) {
    TabJunta table;
    const QString key = QString(70, u'k');
    table.append(key, QString(20, u'c'), 2, 3.5, QString(50, u'n'));
    const TabJunta::Row row = table.rowsInIndexOrder().at(0);
    EXPECT_EQ(row.INDEX, QString(60, u'k'));
    EXPECT_EQ(row.codigo, QString(14, u'c'));
    EXPECT_EQ(row.nomep, QString(30, u'n'));
    EXPECT_EQ(row.quant, 2);
    EXPECT_EQ(row.valor, 3.5);
}

TEST(TabJunta, WalksInAscendingIndexOrderKeepingTheOrderOfEqualKeys) {
    TabJunta table;
    table.append("9 AGUA", "9", 1, 3, "AGUA");
    table.append("10 CERVEJA", "10", 2, 6.5, "first");
    table.append("10 BOLO", "10", 1, 4, "BOLO");
    table.append("10 CERVEJA", "10", 1, 6.5, "second");
    table.append("10 cerveja", "10", 1, 6.5, "lower case");
    EXPECT_EQ(indexes(table),
              (QStringList{"10 BOLO", "10 CERVEJA", "10 CERVEJA", "10 cerveja", "9 AGUA"}));
    const QList<TabJunta::Row> rows = table.rowsInIndexOrder();
    EXPECT_EQ(rows.at(1).nomep, "first");
    EXPECT_EQ(rows.at(2).nomep, "second");
}

TEST(TabJunta, FindsARowByItsWholeKey) {
    TabJunta table;
    const QString common = QString(60, u'x');
    table.append(common + "    10,00", "7", 1, 10, "X");
    EXPECT_EQ(table.findKey(common + "    10,50"), nullptr);
    TabJunta::Row* row = table.findKey(common + "    10,00");
    ASSERT_NE(row, nullptr);
    row->quant += 2;
    EXPECT_EQ(table.rowsInIndexOrder().at(0).quant, 3);

    // Equal INDEX, different keys: ordered by the whole key.
    table.append(common + "     9,00", "7", 1, 9, "X");
    const QList<TabJunta::Row> rows = table.rowsInIndexOrder();
    EXPECT_EQ(rows.at(0).valor, 9);
    EXPECT_EQ(rows.at(1).valor, 10);

    table.clear();
    EXPECT_TRUE(table.isEmpty());
    EXPECT_EQ(table.findKey(common + "    10,00"), nullptr);
}

} // namespace
