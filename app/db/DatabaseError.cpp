#include "app/db/DatabaseError.h"

#include <ibase.h>

#include <algorithm>
#include <utility>

namespace db {

DatabaseError::DatabaseError(const QString& message, int sqlCode, long firebirdCode,
                             std::vector<long> codes)
    : std::runtime_error(message.toStdString()), m_sqlCode(sqlCode), m_firebirdCode(firebirdCode),
      m_codes(std::move(codes)) {
    if (m_codes.empty() && firebirdCode != 0)
        m_codes.push_back(firebirdCode);
}

bool DatabaseError::hasCode(long code) const noexcept {
    return std::find(m_codes.begin(), m_codes.end(), code) != m_codes.end();
}

bool DatabaseError::refusesValues() const noexcept {
    for (const long code : {isc_arith_except, isc_numeric_out_of_range, isc_string_truncation,
                            isc_trunc_limits, isc_transliteration_failed, isc_malformed_string,
                            isc_convert_error, isc_not_valid, isc_check_constraint}) {
        if (hasCode(code))
            return true;
    }
    return false;
}

QString errorMessage(const std::exception& error) {
    const QString message = QString::fromUtf8(error.what());
    const auto* database = dynamic_cast<const DatabaseError*>(&error);
    if (!database || database->concerns().isEmpty())
        return message;
    return database->concerns() + QStringLiteral(": ") + message;
}

QString errorMessage(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return errorMessage(caught);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace db
