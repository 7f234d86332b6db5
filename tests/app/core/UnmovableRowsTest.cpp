// Which tablet rows no pass can ever move, decided as the tablets' database compares: only
// rows that surely never move are claimed, never one a pass could find or the deletion of
// moved items takes.

#include "app/core/UnmovableRows.h"

#include "tests/support/QStringPrinting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Reason = UnmovableReason;
using Value = db::Field::Value;

ColumnComparison column(ColumnComparison::Kind kind, bool holdsWindows1252 = true) {
    ColumnComparison c;
    c.kind = kind;
    c.holdsWindows1252 = holdsWindows1252;
    if (kind == ColumnComparison::Kind::Number)
        c.largestExactLiteral = 32767;
    return c;
}

const ColumnComparison kBinary = column(ColumnComparison::Kind::Exact);
const ColumnComparison kInsensitive = column(ColumnComparison::Kind::Folded);
const ColumnComparison kUnknownCollation = column(ColumnComparison::Kind::Any);
const ColumnComparison kNumber = column(ColumnComparison::Kind::Number);
const ColumnComparison kOtherType = column(ColumnComparison::Kind::Unknown);
const ColumnComparison kAsciiOnly = column(ColumnComparison::Kind::Exact, false);

Value text(const char* value) {
    return QString::fromUtf8(value);
}
const Value kNull = std::monostate();

struct Case {
    std::string name;
    std::array<ColumnComparison, 3> columns; // mesa, imp, vend
    QStringList waiters;
    TabletRow row;
    std::vector<Reason> expected;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

TabletRow item(Value mesa, Value imp, Value vend) {
    return {Value(qint64{7}), std::move(mesa), std::move(imp), text("9"), std::move(vend), true};
}

TabletRow other(Value cozinha, Value mesa, Value imp, Value vend) {
    return {Value(qint64{8}),   std::move(mesa), std::move(imp),
            std::move(cozinha), std::move(vend), false};
}

const std::array<ColumnComparison, 3> kTexts = {kBinary, kBinary, kBinary};

class UnmovableRowsCases : public ::testing::TestWithParam<Case> {};

TEST_P(UnmovableRowsCases, ClaimOnlyRowsThatSurelyNeverMove) {
    const Case& c = GetParam();
    EXPECT_EQ(UnmovableRows(c.columns, c.waiters).reasons(c.row), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnmovableRowsCases,
    ::testing::Values(
        Case{"AGoodItem", kTexts, {"3"}, item(text("000012"), text("1"), text("3")), {}},
        // The waiter.
        Case{"VendOfNoWaiter",
             kTexts,
             {"3", "5"},
             item(text("000012"), text("1"), text("9")),
             {Reason::NoWaiter}},
        Case{"NoWaiterAtAll",
             kTexts,
             {},
             item(text("000012"), text("1"), text("3")),
             {Reason::NoWaiter}},
        Case{"NullVend", kTexts, {"3"}, item(text("000012"), text("1"), kNull), {Reason::NoWaiter}},
        Case{"TrailingBlanksAreNoMatter",
             kTexts,
             {"3"},
             item(text("000012"), text("1"), text("3  ")),
             {}},
        Case{"LeadingZeroIsAnotherText",
             kTexts,
             {"3"},
             item(text("000012"), text("1"), text("03")),
             {Reason::NoWaiter}},
        Case{"LeadingBlankIsAnotherText",
             kTexts,
             {"3"},
             item(text("000012"), text("1"), text(" 3")),
             {Reason::NoWaiter}},
        Case{"CaseUnderAnInsensitiveCollation",
             {kBinary, kBinary, kInsensitive},
             {"Á"},
             item(text("000012"), text("1"), text("a")),
             {}},
        Case{"AnUnknownCollationMayMatchAnything",
             {kBinary, kBinary, kUnknownCollation},
             {"3"},
             item(text("000012"), text("1"), text("zz")),
             {}},
        Case{"AnotherTypeMayMatchAnything",
             {kBinary, kBinary, kOtherType},
             {"3"},
             item(text("000012"), text("1"), kNull),
             {}},
        Case{"NumericVendEqualsACodeWithLeadingZeros",
             {kBinary, kBinary, kNumber},
             {"03"},
             item(text("000012"), text("1"), Value(qint64{3})),
             {}},
        Case{"NumericVendOfNoWaiter",
             {kBinary, kBinary, kNumber},
             {"03"},
             item(text("000012"), text("1"), Value(qint64{4})),
             {Reason::NoWaiter}},
        // A code that may raise against the column: the item selects fail, no claim.
        Case{"ATextCodeAgainstNumericVend",
             {kBinary, kBinary, kNumber},
             {"3", "A"},
             item(text("000012"), text("1"), Value(qint64{4})),
             {}},
        Case{"ACodeTheCharacterSetCannotHold",
             {kBinary, kBinary, kAsciiOnly},
             {"3", "Jõao"},
             item(text("000012"), text("1"), text("4")),
             {}},
        // The printer number.
        Case{"ImpSix",
             kTexts,
             {"3"},
             item(text("000012"), text("6"), text("3")),
             {Reason::NoPrinter}},
        Case{"ImpLetter",
             {kBinary, kInsensitive, kBinary},
             {"3"},
             item(text("000012"), text("x"), text("3")),
             {Reason::NoPrinter}},
        Case{"ImpNull", kTexts, {"3"}, item(text("000012"), kNull, text("3")), {Reason::NoPrinter}},
        Case{"ImpWithALeadingBlank",
             kTexts,
             {"3"},
             item(text("000012"), text(" 5"), text("3")),
             {Reason::NoPrinter}},
        Case{"ImpWithATrailingBlank",
             kTexts,
             {"3"},
             item(text("000012"), text("5 "), text("3")),
             {}},
        Case{"NumericImpSix",
             {kBinary, kNumber, kBinary},
             {"3"},
             item(text("000012"), Value(qint64{6}), text("3")),
             {Reason::NoPrinter}},
        Case{"FloatImpFive",
             {kBinary, kNumber, kBinary},
             {"3"},
             item(text("000012"), Value(5.0), text("3")),
             {}},
        Case{"FloatImpWithAFraction",
             {kBinary, kNumber, kBinary},
             {"3"},
             item(text("000012"), Value(4.5), text("3")),
             {Reason::NoPrinter}},
        Case{"ImpUnderAnUnknownCollation",
             {kBinary, kUnknownCollation, kBinary},
             {"3"},
             item(text("000012"), text("9"), text("3")),
             {}},
        // The table and the kind of row.
        Case{"NullMesa", kTexts, {"3"}, item(kNull, text("1"), text("3")), {Reason::NoTable}},
        Case{"NullMesaUnderAnUnknownCollation",
             {kUnknownCollation, kBinary, kBinary},
             {"3"},
             item(kNull, text("1"), text("3")),
             {Reason::NoTable}},
        Case{"NeitherItemNorBillRequest",
             kTexts,
             {"3"},
             other(text("8"), text("000012"), text("1"), text("3")),
             {Reason::NotAnItem}},
        Case{"NullCozinha",
             kTexts,
             {"3"},
             other(kNull, text("000012"), text("1"), text("3")),
             {Reason::NotAnItem}},
        Case{"EveryReasonAtOnce",
             kTexts,
             {"3"},
             other(text("x"), kNull, text("9"), text("8")),
             {Reason::NotAnItem, Reason::NoTable, Reason::NoPrinter, Reason::NoWaiter}},
        // The deletion of moved items takes any row whose mesa is the flag text.
        Case{"FlaggedRow",
             kTexts,
             {"3"},
             other(text("8"), text("EXCLUIR"), text("9"), text("8")),
             {}},
        Case{"FlagTextInAnotherCase",
             {kInsensitive, kBinary, kBinary},
             {"3"},
             item(text("excluír"), text("9"), text("3")),
             {}},
        Case{"AnyMesaMayBeTheFlagText",
             {kUnknownCollation, kBinary, kBinary},
             {"3"},
             item(text("000012"), text("9"), text("8")),
             {}}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// What the technician reads: the row as it stands, why, and what to mend.
TEST(UnmovableRowEntry, NamesTheRowWhyAndWhatToMend) {
    const TabletRow row{Value(qint64{601}), kNull, text("6"), text("9"), text("8"), true};
    EXPECT_EQ(unmovableRowEntry(row, {Reason::NoTable, Reason::NoPrinter, Reason::NoWaiter}),
              QString::fromUtf8(
                  "Item do tablet que nunca será movido (id 601, mesa NULL, imp '6', vend '8', "
                  "COZINHA '9'): não tem mesa, imp não é uma impressora de 0 a 5, vend não é o "
                  "código de nenhum garçom do cadastro (vendedor); corrija o item no tablet ou "
                  "cadastre o garçom."));
    const TabletRow padded{text("12 "), text("A1 "), text("1"), text("%1"), text("3"), false};
    EXPECT_EQ(unmovableRowEntry(padded, {Reason::NotAnItem}),
              QString::fromUtf8("Item do tablet que nunca será movido (id 12, mesa 'A1 ', imp "
                                "'1', vend '3', COZINHA '%1'): COZINHA não é '9' (item) nem '7' "
                                "(pedido de conta); corrija o item no tablet."));
    EXPECT_EQ(tabletRowIdText({kNull, kNull, kNull, kNull, kNull, true}), "NULL");
}

// A table text with an apostrophe never matches a CabMesa row, open or not: it says so, and
// not that the table is not open.
TEST(TableNotOpenEntry, TellsAnApostropheFromATableNotOpen) {
    EXPECT_EQ(tableNotOpenEntry(QStringLiteral("000013"), 2),
              QString::fromUtf8("Itens do tablet esperando pela mesa '000013', que não está "
                                "aberta no CabMesa (2 item(ns)): nada é movido até a mesa ser "
                                "aberta; confira o número da mesa no tablet."));
    for (const char* table : {"12'", "'", "A'B '"}) {
        const QString entry = tableNotOpenEntry(QString::fromLatin1(table), 1);
        EXPECT_TRUE(entry.startsWith(QStringLiteral("Itens do tablet da mesa '%1', cujo texto tem "
                                                    "um apóstrofo (1 item(ns))")
                                         .arg(QString::fromLatin1(table))))
            << entry.toStdString();
        EXPECT_FALSE(entry.contains(QStringLiteral("não está aberta"))) << entry.toStdString();
    }
}

} // namespace
