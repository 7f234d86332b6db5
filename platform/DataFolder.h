#pragma once

#include <QString>

// Where the program's files live. The Windows folder c:\Tobrask\Bares stands for one
// Linux folder, the data folder; the two database files may live elsewhere. Read from
// the environment at each call, so tests can point them at their own folders.
namespace datafolder {

// $TOBRASK_BARES_DIR when set, else /var/lib/tobrask/bares.
QString dataFolder();
// $TOBRASK_DB_DIR when set, else the data folder.
QString databaseFolder();

// The path of a file of the data folder. Windows finds a file whatever the letter case
// of its name, so when the exact name is missing a name that differs only in case is
// taken; when none exists the exact path is returned (for a writer to create).
QString filePath(const QString& name);
bool fileExists(const QString& name);

// The same look-up in any folder.
QString filePathIn(const QString& folder, const QString& name);

} // namespace datafolder
