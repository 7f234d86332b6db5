#include "app/core/PassFilter.h"

#include "platform/Windows1252.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Firebird's field types (rdb$fields.rdb$field_type).
constexpr int kSmallint = 7;
constexpr int kInteger = 8;
constexpr int kFloat = 10;
constexpr int kDFloat = 11;
constexpr int kChar = 14;
constexpr int kBigint = 16;
constexpr int kDouble = 27;
constexpr int kVarchar = 37;

// Whole literals are only trusted up to nine digits: every numeric type converts them.
constexpr qint64 kLargestLiteral = 999'999'999;

bool isOneOf(const QString& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* known) { return name == QLatin1String(known); });
}

qint64 largestExact(double storageLimit, int scale) {
    const double limit = storageLimit / std::pow(10.0, scale < 0 ? -scale : 0);
    return std::min<qint64>(kLargestLiteral, static_cast<qint64>(std::floor(limit)));
}

// Texts compare as if padded with blanks (with NULs under OCTETS).
QString withoutTrailingPad(QString text) {
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\0'))
        text.chop(1);
    return text;
}

// Under a case- and accent-insensitive collation: letters without case and accent, digits,
// blanks left out. A character outside these may compare in ways we do not model, so such
// a text may equal anything.
CompareKey foldedKey(const QString& text) {
    static const QString accented =
        QStringLiteral(u"ÀÁÂÃÄÅàáâãäåÇçÈÉÊËèéêëÌÍÎÏìíîïÑñÒÓÔÕÖòóôõöÙÚÛÜùúûüÝýÿŸŠšŽž");
    static const QString plain =
        QStringLiteral("AAAAAAAAAAAACCEEEEEEEEIIIIIIIINNOOOOOOOOOOUUUUUUUUYYYYSSZZ");
    QString key;
    key.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit == u' ')
            continue;
        if ((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9'))
            key.append(c);
        else if (unit >= u'a' && unit <= u'z')
            key.append(QChar(unit - u'a' + u'A'));
        else if (const qsizetype at = accented.indexOf(c); at >= 0)
            key.append(plain.at(at));
        else
            return {CompareKey::Kind::Anything, {}};
    }
    return {CompareKey::Kind::Key, key};
}

CompareKey textKey(const ColumnComparison& column, const QString& text) {
    switch (column.kind) {
    case ColumnComparison::Kind::Exact:
        return {CompareKey::Kind::Key, withoutTrailingPad(text)};
    case ColumnComparison::Kind::Folded:
        return foldedKey(text);
    default:
        return {CompareKey::Kind::Anything, {}};
    }
}

} // namespace

QString columnCatalogueSelect(const QString& table, const QStringList& columns) {
    return QStringLiteral(
               "select trim(rf.rdb$field_name) as name, f.rdb$field_type as type, "
               "f.rdb$field_scale as scale, trim(cs.rdb$character_set_name) as charset, "
               "coalesce(rf.rdb$collation_id, f.rdb$collation_id, 0) as collation_id, "
               "trim(co.rdb$collation_name) as collation, "
               "case when f.rdb$computed_blr is null then 0 else 1 end as computed, "
               "case when r.rdb$view_blr is null then 0 else 1 end as is_view, "
               "(select count(*) from rdb$triggers t where t.rdb$relation_name = '%1' "
               "and coalesce(t.rdb$trigger_inactive, 0) = 0 and coalesce(t.rdb$system_flag, 0) = "
               "0) "
               "as table_triggers, "
               "(select count(*) from rdb$triggers t where t.rdb$relation_name is null "
               "and coalesce(t.rdb$trigger_inactive, 0) = 0 and coalesce(t.rdb$system_flag, 0) = "
               "0) "
               "as database_triggers "
               "from rdb$relation_fields rf "
               "join rdb$relations r on r.rdb$relation_name = rf.rdb$relation_name "
               "join rdb$fields f on f.rdb$field_name = rf.rdb$field_source "
               "left join rdb$character_sets cs on cs.rdb$character_set_id = "
               "f.rdb$character_set_id "
               "left join rdb$collations co on co.rdb$character_set_id = f.rdb$character_set_id "
               "and co.rdb$collation_id = coalesce(rf.rdb$collation_id, f.rdb$collation_id, 0) "
               "where rf.rdb$relation_name = '%1' and rf.rdb$field_name in ('%2')")
        .arg(table, columns.join(QStringLiteral("', '")));
}

CatalogueColumns describeCatalogueColumns(const db::ResultSet& catalogue,
                                          const QStringList& names) {
    CatalogueColumns described;
    described.columns.resize(static_cast<std::size_t>(names.size()));
    for (qsizetype row = 0; row < catalogue.rowCount(); ++row) {
        const auto column = [&](const char* name) {
            return catalogue.field(row, QString::fromLatin1(name));
        };
        const qsizetype index = names.indexOf(column("name").asText());
        if (index < 0)
            continue;
        ColumnDefinition definition;
        definition.fieldType = static_cast<int>(column("type").asInteger());
        definition.scale = static_cast<int>(column("scale").asInteger());
        definition.characterSet = column("charset").asText();
        definition.collationId = static_cast<int>(column("collation_id").asInteger());
        definition.collationName = column("collation").asText();
        // A view's column may be an expression, which may raise.
        definition.computed =
            column("computed").asInteger() != 0 || column("is_view").asInteger() != 0;
        described.columns[static_cast<std::size_t>(index)] = describeColumn(definition);
        described.tableTriggers = column("table_triggers").asInteger() != 0;
        described.databaseTriggers = column("database_triggers").asInteger() != 0;
    }
    return described;
}

ColumnComparison describeColumn(const ColumnDefinition& column) {
    ColumnComparison comparison;
    // A computed column evaluates an expression, which may raise.
    if (column.computed)
        return comparison;
    switch (column.fieldType) {
    case kChar:
    case kVarchar:
        comparison.holdsWindows1252 =
            isOneOf(column.characterSet, {"NONE", "OCTETS", "WIN1252", "UTF8", "UNICODE_FSS"});
        if (column.collationId == 0 || column.collationName == QLatin1String("UCS_BASIC"))
            comparison.kind = ColumnComparison::Kind::Exact;
        else if (isOneOf(column.collationName,
                         {"WIN_PTBR", "PT_BR", "UNICODE", "UNICODE_CI", "UNICODE_CI_AI"}))
            comparison.kind = ColumnComparison::Kind::Folded;
        else
            comparison.kind = ColumnComparison::Kind::Any;
        return comparison;
    case kSmallint:
        comparison.largestExactLiteral = largestExact(32767, column.scale);
        break;
    case kInteger:
        comparison.largestExactLiteral = largestExact(2147483647.0, column.scale);
        break;
    case kBigint:
        comparison.largestExactLiteral = largestExact(9.2e18, column.scale);
        break;
    case kFloat:
        comparison.largestExactLiteral = largestExact(16777216.0, column.scale);
        break;
    case kDouble:
    case kDFloat:
        comparison.largestExactLiteral = largestExact(9007199254740992.0, column.scale);
        break;
    default:
        return comparison;
    }
    comparison.kind = ColumnComparison::Kind::Number;
    return comparison;
}

CompareKey valueKey(const ColumnComparison& column, const db::Field::Value& value) {
    if (std::holds_alternative<std::monostate>(value))
        return {CompareKey::Kind::Nothing, {}};
    if (column.kind == ColumnComparison::Kind::Number) {
        if (const auto* number = std::get_if<qint64>(&value))
            return {CompareKey::Kind::Key, QString::number(*number)};
        if (const auto* number = std::get_if<double>(&value)) {
            if (!std::isfinite(*number) || std::fabs(*number) >= 9e15)
                return {CompareKey::Kind::Anything, {}};
            // A fraction never equals a whole literal converted to the column's type.
            if (std::floor(*number) != *number)
                return {CompareKey::Kind::Nothing, {}};
            return {CompareKey::Kind::Key, QString::number(static_cast<qint64>(*number))};
        }
        return {CompareKey::Kind::Anything, {}};
    }
    if (const auto* text = std::get_if<QString>(&value))
        return textKey(column, *text);
    return {CompareKey::Kind::Anything, {}};
}

std::optional<CompareKey> literalKey(const ColumnComparison& column, const QString& literal) {
    switch (column.kind) {
    case ColumnComparison::Kind::Exact:
    case ColumnComparison::Kind::Folded:
    case ColumnComparison::Kind::Any: {
        // The text as the statement carries it.
        const QByteArray bytes = windows1252::encode(literal);
        if (!column.holdsWindows1252 &&
            std::any_of(bytes.begin(), bytes.end(), [](char b) { return (b & 0x80) != 0; }))
            return std::nullopt;
        return textKey(column, windows1252::decode(bytes));
    }
    case ColumnComparison::Kind::Number: {
        // Blanks around, a sign and up to nine digits: every numeric type reads it exactly.
        static const QRegularExpression wholeNumber(QStringLiteral("^ *([+-]?[0-9]{1,9}) *$"));
        const QRegularExpressionMatch match = wholeNumber.match(literal);
        if (!match.hasMatch())
            return std::nullopt;
        const qint64 number = match.captured(1).toLongLong();
        if (number > column.largestExactLiteral || -number > column.largestExactLiteral)
            return std::nullopt;
        return CompareKey{CompareKey::Kind::Key, QString::number(number)};
    }
    case ColumnComparison::Kind::Unknown:
        break;
    }
    return std::nullopt;
}

bool mayBeEqual(const CompareKey& a, const CompareKey& b) {
    if (a.kind == CompareKey::Kind::Nothing || b.kind == CompareKey::Kind::Nothing)
        return false;
    if (a.kind == CompareKey::Kind::Anything || b.kind == CompareKey::Kind::Anything)
        return true;
    return a.key == b.key;
}

PassFilter::PassFilter(const std::array<ColumnComparison, 3>& columns, const QStringList& tables,
                       const QStringList& waiters)
    : m_columns(columns) {
    const CompareKey flag = valueKey(m_columns[0], QStringLiteral("EXCLUIR"));
    for (const QString& table : tables) {
        m_tables.push_back({literalKey(m_columns[0], table), {}});
        m_tableMayBeFlagText.push_back(!m_tables.back().key ||
                                       mayBeEqual(*m_tables.back().key, flag));
    }
    for (int printer = 0; printer < 6; ++printer)
        m_printers[static_cast<std::size_t>(printer)].key =
            literalKey(m_columns[1], QString::number(printer));
    setWaiters(waiters);
}

void PassFilter::setWaiters(const QStringList& waiters) {
    m_waiterCodes = waiters;
    m_waiters.clear();
    for (const QString& waiter : waiters) {
        m_waiters.push_back({literalKey(m_columns[2], waiter), {}});
        match(m_waiters.back(), 2);
    }
}

void PassFilter::setNewItems(const std::vector<Item>& items) {
    m_newItems = items;
    for (std::size_t column = 0; column < 3; ++column) {
        m_items[column].clear();
        for (const Item& item : items)
            m_items[column].push_back(valueKey(m_columns[column], item[column]));
    }
    for (Literal& table : m_tables)
        match(table, 0);
    for (Literal& printer : m_printers)
        match(printer, 1);
    for (Literal& waiter : m_waiters)
        match(waiter, 2);
}

void PassFilter::itemsFlagged() {
    for (std::size_t table = 0; table < m_tables.size(); ++table)
        if (m_tableMayBeFlagText[table])
            std::fill(m_tables[table].matches.begin(), m_tables[table].matches.end(),
                      ~std::uint64_t{0});
}

void PassFilter::match(Literal& literal, int column) const {
    const std::vector<CompareKey>& items = m_items[static_cast<std::size_t>(column)];
    literal.matches.assign((items.size() + 63) / 64, 0);
    if (!literal.key)
        return;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (mayBeEqual(*literal.key, items[i]))
            literal.matches[i / 64] |= std::uint64_t{1} << (i % 64);
}

std::vector<std::size_t> PassFilter::itemsOfNoTable() const {
    std::vector<std::size_t> found;
    if (std::any_of(m_tables.begin(), m_tables.end(),
                    [](const Literal& table) { return !table.key; }))
        return found;
    const CompareKey flag = valueKey(m_columns[0], QStringLiteral("EXCLUIR"));
    const std::vector<CompareKey>& mesas = m_items[0];
    for (std::size_t item = 0; item < mesas.size(); ++item) {
        if (mesas[item].kind == CompareKey::Kind::Nothing || mayBeEqual(mesas[item], flag))
            continue;
        const bool anyTable =
            std::any_of(m_tables.begin(), m_tables.end(), [&](const Literal& table) {
                return (table.matches[item / 64] >> (item % 64) & 1) != 0;
            });
        if (!anyTable)
            found.push_back(item);
    }
    return found;
}

bool PassFilter::mayFindItems(int table, int waiter, int printer) const {
    const Literal& t = m_tables.at(static_cast<std::size_t>(table));
    const Literal& w = m_waiters.at(static_cast<std::size_t>(waiter));
    const Literal& p = m_printers.at(static_cast<std::size_t>(printer));
    // A comparison that might raise is left to the database.
    if (!t.key || !w.key || !p.key)
        return true;
    for (std::size_t word = 0; word < t.matches.size(); ++word)
        if (t.matches[word] & w.matches[word] & p.matches[word])
            return true;
    return false;
}

bool PassFilter::mayFindItems(int table) const {
    const Literal& t = m_tables.at(static_cast<std::size_t>(table));
    const auto unsure = [](const Literal& literal) { return !literal.key; };
    if (unsure(t) || std::any_of(m_waiters.begin(), m_waiters.end(), unsure) ||
        std::any_of(m_printers.begin(), m_printers.end(), unsure))
        return true;
    return std::any_of(t.matches.begin(), t.matches.end(),
                       [](std::uint64_t word) { return word != 0; });
}
