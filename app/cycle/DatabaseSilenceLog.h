#pragma once

// While it lives, a database call that has not answered for 30 s gets a line in the
// program's log naming the database, and another when it answers, so that a frozen
// database server is seen. CUVORA_DB_SILENCE_SECONDS (a whole number of seconds) sets
// another threshold, for tests. One at a time; user-interface thread.
class DatabaseSilenceLog {
public:
    DatabaseSilenceLog();
    ~DatabaseSilenceLog();
    DatabaseSilenceLog(const DatabaseSilenceLog&) = delete;
    DatabaseSilenceLog& operator=(const DatabaseSilenceLog&) = delete;
};
