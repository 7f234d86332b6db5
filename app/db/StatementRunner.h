#pragma once

#include "app/db/FbHandles.h"
#include "app/db/ResultSet.h"

#include <QByteArray>

namespace db {

// Runs one statement (Windows-1252 text) in a transaction of its own, fetches all its rows
// and commits; on any error the transaction is rolled back and DatabaseError thrown.
ResultSet runStatement(Attachment& attachment, const QByteArray& statement);

} // namespace db
