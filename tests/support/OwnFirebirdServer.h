#pragma once

// A Firebird server of a test's own (tools/firebird-server.sh) on a free loopback port, so
// that freezing or killing it disturbs no other test. It listens on 127.0.0.1, or on the
// loopback address given ("::1"). Its folder is also a client
// configuration whose loopback reaches it: a program given FIREBIRD=folder() and
// FIREBIRD_LOCK=lockFolder() finds this server "on this machine", and its embedded engine
// shares the server's locks.
//
//   OwnFirebirdServer server;
//   server.start();
//   executeSql(server.address() + ':' + path, "...");
//   server.freeze(); ... server.thaw();
//
// The destructor thaws and stops it. Failures are gtest failures of the calling test.

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class OwnFirebirdServer {
public:
    explicit OwnFirebirdServer(const QString& host = QStringLiteral("127.0.0.1"));
    ~OwnFirebirdServer();
    OwnFirebirdServer(const OwnFirebirdServer&) = delete;
    OwnFirebirdServer& operator=(const OwnFirebirdServer&) = delete;

    void start();
    // Stops it by its process id; its folder stays, naming a port nobody listens on.
    void stop();
    // SIGSTOP and SIGCONT: a server that takes connections and never answers, then answers.
    void freeze();
    void thaw();
    // SIGKILL, waited for: no shut-down, as when the machine's server process dies.
    void kill();

    // As a database text names it: "127.0.0.1/PORT", "[::1]/PORT".
    QString address() const;
    int port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    QString lockFolder() const { return m_dir.filePath(QStringLiteral("lock")); }

private:
    int pid() const;
    void signal(int number);
    QTemporaryDir m_dir;
    QString m_host;
    int m_port;
    bool m_frozen = false;
};

// A loopback port nobody listens on now, as the kernel hands one out.
int freeLoopbackPort();

} // namespace testsupport
