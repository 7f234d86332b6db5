// The pass filter's one claim, checked against Firebird itself: when it says a quoted text
// surely compares without error and surely differs from a column's value, Firebird's
// "column = 'text'" finds no row and raises nothing.

#include "app/core/PassFilter.h"

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"
#include "app/db/Query.h"
#include "app/text/TextConventions.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

struct Column {
    const char* name;
    const char* type;
    bool indexed;
};

const Column kColumns[] = {
    {"c_bin", "varchar(20)", true},
    {"c_char", "char(8)", false},
    {"c_ptbr", "varchar(20) collate WIN_PTBR", true},
    {"c_ci", "varchar(20) character set UTF8 collate UNICODE_CI_AI", false},
    {"c_uni", "varchar(20) character set UTF8 collate UNICODE", false},
    {"c_pxw", "varchar(20) collate PXW_INTL", false},
    {"c_oct", "varchar(20) character set OCTETS", false},
    {"c_none", "varchar(20) character set NONE", false},
    {"c_iso", "varchar(20) character set ISO8859_1", true},
    {"c_ascii", "varchar(20) character set ASCII", true},
    {"c_int", "integer", true},
    {"c_small", "smallint", true},
    {"c_num", "numeric(4,2)", true},
    {"c_dbl", "double precision", false},
    {"c_big", "bigint", true},
    {"c_flt", "float", false},
};

const char* const kTexts[] = {"A1",
                              "a1",
                              "á1",
                              "Á1 ",
                              "MESA 10",
                              "mesa10",
                              " 7",
                              "7",
                              "000012",
                              "12",
                              "D.OR",
                              "EXCLUIR",
                              "Ç",
                              "ß",
                              "ss",
                              "5",
                              "05",
                              "",
                              "a\xc2\xad"
                              "1"};
const char* const kNumbers[] = {"5", "12", "0", "-3", "4.6", "16777217", "NULL"};
const char* const kLiterals[] = {
    "5",  "05",     " 5 ",      "+5",         "-0",       "4.6",      "5e0",    "5,0",
    "A1", "a1",     "A 1",      "á1",         "A1 ",      "MESA 10 ", "MESA10", "",
    " ",  "99999",  "99999999", "9999999999", "16777217", "€",        "Ç",      "c",
    "SS", "000012", "12",       "D.OR",       "EXCLUIR",  "7",        "ő"};

TEST(PassFilter, NeverCallsUnequalWhatFirebirdFindsOrCallsSafeWhatRaises) {
    testsupport::TestDatabases dbs;
    db::Connection connection;
    connection.setDatabase(dbs.tabletsPath());
    connection.connect();
    const auto run = [&](const QString& statement) { return connection.run(statement); };

    QString columns = QStringLiteral("id integer");
    for (const Column& c : kColumns)
        columns +=
            QStringLiteral(", %1 %2").arg(QString::fromLatin1(c.name), QString::fromLatin1(c.type));
    run("create table t (" + columns + ")");
    for (const Column& c : kColumns)
        if (c.indexed)
            run(QStringLiteral("create index t_%1 on t (%1)").arg(QString::fromLatin1(c.name)));

    // Texts in the text columns (ASCII ones where the character set holds them only), then
    // numbers in the numeric ones (small ones where the type holds them only).
    int id = 0;
    const auto insert = [&](const std::function<QString(const Column&)>& valueOf) {
        QString values = QString::number(++id);
        for (const Column& c : kColumns)
            values += u',' + valueOf(c);
        run("insert into t values (" + values + ")");
    };
    const auto isText = [](const Column& c) {
        return QString::fromLatin1(c.type).contains(QLatin1String("char"));
    };
    for (const char* text : kTexts) {
        const QString value = QString::fromUtf8(text);
        insert([&](const Column& c) {
            const bool ascii = std::all_of(value.begin(), value.end(),
                                           [](QChar ch) { return ch.unicode() < 0x80; });
            return isText(c) && (ascii || QLatin1String(c.name) != QLatin1String("c_ascii"))
                       ? quotedSql(value)
                       : QStringLiteral("NULL");
        });
    }
    for (const char* number : kNumbers) {
        const QString value = QString::fromLatin1(number);
        insert([&](const Column& c) {
            if (isText(c))
                return QStringLiteral("NULL");
            const bool small = QLatin1String(c.name) == QLatin1String("c_small") ||
                               QLatin1String(c.name) == QLatin1String("c_num");
            return small && value.size() > 4 ? QStringLiteral("1") : value;
        });
    }

    // The columns as the catalogue describes them, read and mapped as the cycle does.
    QStringList names;
    for (const Column& c : kColumns)
        names.append(QString::fromLatin1(c.name).toUpper());
    const CatalogueColumns catalogue =
        describeCatalogueColumns(run(columnCatalogueSelect(QStringLiteral("T"), names)), names);
    ASSERT_EQ(catalogue.tableTriggers, false);
    EXPECT_FALSE(catalogue.databaseTriggers);
    std::map<QString, ColumnComparison> comparisons;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const std::optional<ColumnComparison>& described =
            catalogue.columns[static_cast<std::size_t>(i)];
        ASSERT_TRUE(described) << names[i].toStdString();
        comparisons[names[i].toLower()] = *described;
    }

    int claims = 0;
    for (const Column& c : kColumns) {
        const QString column = QString::fromLatin1(c.name);
        SCOPED_TRACE(c.name);
        const ColumnComparison& comparison = comparisons.at(column);
        const db::ResultSet values = run("select id, " + column + " from t order by id");
        for (const char* literalText : kLiterals) {
            const QString literal = QString::fromUtf8(literalText);
            SCOPED_TRACE(literalText);
            const std::optional<CompareKey> key = literalKey(comparison, literal);
            if (!key)
                continue; // no claim: the cycle runs the select
            // Surely no error, whatever the rows.
            db::ResultSet found;
            ASSERT_NO_THROW(
                found = run("select id from t where " + column + " = " + quotedSql(literal)));
            QSet<qint64> foundIds;
            for (qsizetype row = 0; row < found.rowCount(); ++row)
                foundIds.insert(found.field(row, "id").asInteger());
            for (qsizetype row = 0; row < values.rowCount(); ++row) {
                const qint64 rowId = values.field(row, "id").asInteger();
                const db::Field value = values.field(row, column);
                if (mayBeEqual(*key, valueKey(comparison, value.value())))
                    continue;
                ++claims;
                EXPECT_FALSE(foundIds.contains(rowId))
                    << "row " << rowId << " holding '" << value.asText().toStdString()
                    << "' was found";
            }
        }
    }
    // The filter does leave passes out.
    EXPECT_GT(claims, 1000);
}

} // namespace
