#include "app/db/DatabaseError.h"

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

} // namespace db
