#include "app/db/StatementRunner.h"

#include "app/db/DatabaseError.h"
#include "app/db/FbCall.h"
#include "platform/RegionalSettings.h"
#include "platform/Windows1252.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <ibase.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace db {
namespace {

using detail::callFb;
using detail::throwOnError;

constexpr unsigned short kDialect = SQL_DIALECT_V6;

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

// An output descriptor with a buffer and a NULL indicator for every column.
class OutputDescriptor {
public:
    explicit OutputDescriptor(short columns) { allocate(columns); }

    XSQLDA* get() { return m_descriptor.get(); }
    short needed() const { return m_descriptor->sqld; }
    short allocated() const { return m_descriptor->sqln; }
    void allocate(short columns) {
        const std::size_t count = columns > 0 ? static_cast<std::size_t>(columns) : 1;
        m_descriptor.reset(
            static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(static_cast<int>(count)))));
        if (!m_descriptor)
            throw std::bad_alloc();
        m_descriptor->version = SQLDA_VERSION1;
        m_descriptor->sqln = static_cast<short>(count);
    }

    void bindBuffers() {
        const short columns = m_descriptor->sqld;
        m_buffers.assign(static_cast<std::size_t>(columns), {});
        m_nulls.assign(static_cast<std::size_t>(columns), 0);
        for (short i = 0; i < columns; ++i) {
            XSQLVAR& column = m_descriptor->sqlvar[i];
            std::size_t length = static_cast<std::size_t>(column.sqllen);
            if ((column.sqltype & ~1) == SQL_VARYING)
                length += sizeof(short);
            m_buffers[static_cast<std::size_t>(i)].assign(length + 1, 0);
            column.sqldata = m_buffers[static_cast<std::size_t>(i)].data();
            column.sqltype |= 1; // always report NULL through the indicator
            column.sqlind = &m_nulls[static_cast<std::size_t>(i)];
        }
    }

private:
    std::unique_ptr<XSQLDA, FreeDeleter> m_descriptor;
    std::vector<std::vector<char>> m_buffers;
    std::vector<short> m_nulls;
};

template <typename Integer> Integer readAs(const char* data) {
    Integer value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

Field::Value scaled(qint64 value, short scale) {
    if (scale == 0)
        return value;
    return static_cast<double>(value) / std::pow(10.0, -scale);
}

// Firebird counts days from 17 November 1858 and time in units of 1/10000 second.
QDate decodeDate(ISC_DATE date) {
    return QDate::fromJulianDay(date + 2400001);
}
QTime decodeTime(ISC_TIME time) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(time / 10));
}

Field::Value readColumn(const XSQLVAR& column, Attachment& attachment, Transaction& transaction) {
    if (*column.sqlind < 0)
        return std::monostate{};
    const char* data = column.sqldata;
    switch (column.sqltype & ~1) {
    case SQL_TEXT:
        return windows1252::decode(QByteArray(data, column.sqllen));
    case SQL_VARYING:
        return windows1252::decode(QByteArray(data + sizeof(short), readAs<short>(data)));
    case SQL_SHORT:
        return scaled(readAs<short>(data), column.sqlscale);
    case SQL_LONG:
        return scaled(readAs<ISC_LONG>(data), column.sqlscale);
    case SQL_INT64:
        return scaled(readAs<ISC_INT64>(data), column.sqlscale);
    case SQL_FLOAT:
        return static_cast<double>(readAs<float>(data));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return readAs<double>(data);
    case SQL_BOOLEAN:
        return static_cast<qint64>(readAs<unsigned char>(data) != 0);
    case SQL_TYPE_DATE:
        return formatShortDate(QDateTime(decodeDate(readAs<ISC_DATE>(data)), QTime(0, 0)));
    case SQL_TYPE_TIME:
        return formatLongTime(QDateTime(QDate(2000, 1, 1), decodeTime(readAs<ISC_TIME>(data))));
    case SQL_TIMESTAMP: {
        const auto stamp = readAs<ISC_TIMESTAMP>(data);
        const QDateTime when(decodeDate(stamp.timestamp_date), decodeTime(stamp.timestamp_time));
        return formatShortDate(when) + u' ' + formatLongTime(when);
    }
    case SQL_BLOB: {
        BlobHandle blob(attachment, transaction, data);
        return windows1252::decode(blob.readAll());
    }
    default:
        return Field::Unsupported{};
    }
}

int statementType(StatementHandle& statement) {
    ISC_STATUS_ARRAY status{};
    const char items[] = {isc_info_sql_stmt_type};
    char buffer[16] = {};
    callFb(FbCall::StatementInfo, status, [&] {
        return isc_dsql_sql_info(status, statement.handlePointer(), sizeof items, items,
                                 sizeof buffer, buffer);
    });
    throwOnError(status);
    if (buffer[0] != isc_info_sql_stmt_type)
        return 0;
    const int length =
        static_cast<unsigned char>(buffer[1]) | (static_cast<unsigned char>(buffer[2]) << 8);
    int type = 0;
    for (int i = length - 1; i >= 0; --i)
        type = (type << 8) | static_cast<unsigned char>(buffer[3 + i]);
    return type;
}

// Firebird takes one statement without the terminator that scripts put after it.
QByteArray withoutTerminator(const QByteArray& statement) {
    QByteArray text = statement.trimmed();
    while (text.endsWith(';'))
        text = text.chopped(1).trimmed();
    return text;
}

} // namespace

ResultSet runStatement(Attachment& attachment, const QByteArray& statement) {
    const QByteArray text = withoutTerminator(statement);
    attachment.rollBackUnfinished();
    Transaction transaction(attachment);
    ResultSet result;
    {
        StatementHandle handle(attachment);
        OutputDescriptor output(16);
        ISC_STATUS_ARRAY status{};
        callFb(FbCall::PrepareStatement, status, [&] {
            return isc_dsql_prepare(status, transaction.handlePointer(), handle.handlePointer(),
                                    static_cast<unsigned short>(text.size()), text.constData(),
                                    kDialect, output.get());
        });
        throwOnError(status);
        if (output.needed() > output.allocated()) {
            output.allocate(output.needed());
            callFb(FbCall::DescribeStatement, status, [&] {
                return isc_dsql_describe(status, handle.handlePointer(), kDialect, output.get());
            });
            throwOnError(status);
        }
        const short columns = output.needed();
        const int type = columns > 0 ? statementType(handle) : 0;
        output.bindBuffers();

        QStringList names;
        for (short i = 0; i < columns; ++i) {
            const XSQLVAR& column = output.get()->sqlvar[i];
            names.append(
                windows1252::decode(QByteArray(column.aliasname, column.aliasname_length)));
        }
        result = ResultSet(names);
        auto readRow = [&] {
            ResultSet::Row row;
            for (short i = 0; i < columns; ++i)
                row.push_back(readColumn(output.get()->sqlvar[i], attachment, transaction));
            result.appendRow(std::move(row));
        };

        if (columns > 0 &&
            (type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd)) {
            callFb(FbCall::ExecuteStatement, status, [&] {
                return isc_dsql_execute(status, transaction.handlePointer(), handle.handlePointer(),
                                        kDialect, nullptr);
            });
            throwOnError(status);
            for (;;) {
                const ISC_STATUS fetched = callFb(FbCall::FetchRow, status, [&] {
                    return isc_dsql_fetch(status, handle.handlePointer(), kDialect, output.get());
                });
                if (fetched == 100)
                    break;
                throwOnError(status);
                readRow();
            }
        } else {
            // A statement without a cursor; one that returns values (EXECUTE PROCEDURE,
            // RETURNING) hands them back as a single row.
            callFb(FbCall::ExecuteStatement, status, [&] {
                return isc_dsql_execute2(status, transaction.handlePointer(),
                                         handle.handlePointer(), kDialect, nullptr,
                                         columns > 0 ? output.get() : nullptr);
            });
            throwOnError(status);
            if (columns > 0)
                readRow();
        }
    }
    transaction.commit();
    return result;
}

} // namespace db
