#include "tests/support/OwnFirebirdServer.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

QString script() {
    QString source = qEnvironmentVariable("CUVORA_SOURCE_DIR");
    if (source.isEmpty())
        source = QStringLiteral(CUVORA_SOURCE_DIR_DEFAULT);
    return source + QStringLiteral("/tools/firebird-server.sh");
}

} // namespace

int freeLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

OwnFirebirdServer::OwnFirebirdServer(const QString& host)
    : m_host(host), m_port(freeLoopbackPort()) {}

OwnFirebirdServer::~OwnFirebirdServer() {
    stop();
}

void OwnFirebirdServer::start() {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(script(), {QStringLiteral("start"), folder(), QString::number(m_port), m_host});
    ASSERT_TRUE(tool.waitForFinished(60000)) << "firebird-server.sh start";
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAll().constData();
}

QString OwnFirebirdServer::address() const {
    const QString host = m_host.contains(u':') ? u'[' + m_host + u']' : m_host;
    return host + u'/' + QString::number(m_port);
}

void OwnFirebirdServer::stop() {
    thaw();
    QProcess::execute(script(), {QStringLiteral("stop"), folder()});
}

int OwnFirebirdServer::pid() const {
    QFile pidFile(m_dir.filePath(QStringLiteral("server.pid")));
    return pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
}

void OwnFirebirdServer::signal(int number) {
    const pid_t server = pid();
    ASSERT_GT(server, 0);
    ASSERT_EQ(::kill(server, number), 0);
}

void OwnFirebirdServer::kill() {
    const pid_t server = pid();
    ASSERT_GT(server, 0);
    m_frozen = false;
    ASSERT_EQ(::kill(server, SIGKILL), 0);
    for (int i = 0; i < 100 && ::kill(server, 0) == 0; ++i)
        QThread::msleep(50);
}

void OwnFirebirdServer::freeze() {
    signal(SIGSTOP);
    m_frozen = true;
}

void OwnFirebirdServer::thaw() {
    if (!m_frozen)
        return;
    m_frozen = false;
    signal(SIGCONT);
}

} // namespace testsupport
