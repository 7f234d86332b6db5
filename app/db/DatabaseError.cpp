#include "app/db/DatabaseError.h"

namespace db {

DatabaseError::DatabaseError(const QString& message, int sqlCode, long firebirdCode)
    : std::runtime_error(message.toStdString()), m_sqlCode(sqlCode), m_firebirdCode(firebirdCode) {}

} // namespace db
