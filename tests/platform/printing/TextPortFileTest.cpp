#include "platform/printing/TextPortFile.h"

#include "platform/printing/PrintingErrors.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file whose writes all answer EAGAIN, as Linux's parallel port does when its printer is
// offline, while poll() calls it writable; 0 for none.
std::atomic<ino_t> g_refusingFile{0};

} // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
    using Write = ssize_t (*)(int, const void*, size_t);
    static const auto real = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
    struct stat status {};
    if (const ino_t refusing = g_refusingFile;
        refusing != 0 && ::fstat(fd, &status) == 0 && status.st_ino == refusing) {
        errno = EAGAIN;
        return -1;
    }
    return real(fd, buffer, size);
}

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(TextPortFile, WritesWindows1252LinesEndedByCrLfAndEmptiesTheFileFirst) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LPT1.txt");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older and much longer ticket that must not survive\r\n");
    }
    printing::TextPortFile port(path);
    port.writeLine(QStringLiteral("Pedido: 7 Mesa: 000012"));
    port.writeLine(QString());
    port.writeLine(QStringLiteral("Açaí € 1,50\tx"));
    port.close();
    EXPECT_EQ(contents(path), QByteArray("Pedido: 7 Mesa: 000012\r\n"
                                         "\r\n"
                                         "A\xe7"
                                         "a\xed \x80 1,50\tx\r\n"));
}

TEST(TextPortFile, AMissingFolderFailsToOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath("nao/existe/porta.txt");
    try {
        printing::TextPortFile port(path);
        FAIL() << "opened";
    } catch (const printing::OutputError& error) {
        EXPECT_NE(std::string(error.what()).find("nao/existe/porta.txt"), std::string::npos);
    }
}

TEST(TextPortFile, AFullDeviceFailsToWrite) {
    printing::TextPortFile port(QStringLiteral("/dev/full"));
    EXPECT_THROW(port.writeLine(QStringLiteral("linha")), printing::OutputError);
}

// A pipe stands for a printer port that takes no data: nobody opens it for reading, or a
// reader opens it and never reads. Either way the port fails within its time-out.
class TextPortFileOnAPipe : public ::testing::Test {
protected:
    static constexpr std::chrono::milliseconds kTimeout{300};

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    }
    QString path() const { return m_dir.filePath("lp0"); }
    void expectTimedOut(const printing::OutputError& error, const char* what) {
        const std::string message = error.what();
        EXPECT_NE(message.find(what), std::string::npos) << message;
        EXPECT_NE(message.find("lp0: the port took no data for 300 ms"), std::string::npos)
            << message;
    }

    QTemporaryDir m_dir;
};

TEST_F(TextPortFileOnAPipe, NobodyReadingFailsToOpenAfterTheTimeOut) {
    try {
        printing::TextPortFile port(path(), kTimeout);
        FAIL() << "opened";
    } catch (const printing::OutputError& error) {
        expectTimedOut(error, "Cannot open");
    }
}

TEST_F(TextPortFileOnAPipe, AReaderThatNeverReadsFailsTheWrite) {
    const int reader = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    printing::TextPortFile port(path(), kTimeout);
    const QString line(4096, u'x');
    try {
        // More than any pipe holds.
        for (int i = 0; i < 1000; ++i)
            port.writeLine(line);
        FAIL() << "written";
    } catch (const printing::OutputError& error) {
        expectTimedOut(error, "Cannot write");
    }
    ::close(reader);
}

TEST_F(TextPortFileOnAPipe, AStopRequestedEndsTheWaitsAtOnce) {
    std::atomic<bool> stop{false};
    const printing::ScopedStopRequested stopRequested([&stop] { return stop.load(); });
    const auto stopSoon = [&stop] {
        return std::async(std::launch::async, [&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stop = true;
        });
    };
    const auto expectStopped = [](const std::function<void()>& wait, const char* what) {
        const auto start = std::chrono::steady_clock::now();
        try {
            wait();
            FAIL() << "no failure";
        } catch (const printing::OutputError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(std::string(what) + " "), std::string::npos) << message;
            EXPECT_NE(message.find("lp0: a stop was requested"), std::string::npos) << message;
        }
        // Well before the 5 s time-out.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    };

    auto stopping = stopSoon();
    expectStopped([this] { printing::TextPortFile port(path(), std::chrono::seconds(5)); },
                  "Cannot open");
    stopping.get();

    stop = false;
    const int reader = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    printing::TextPortFile port(path(), std::chrono::seconds(5));
    stopping = stopSoon();
    expectStopped(
        [&port] {
            const QString line(4096, u'x');
            for (int i = 0; i < 1000; ++i)
                port.writeLine(line);
        },
        "Cannot write");
    stopping.get();
    ::close(reader);
}

TEST_F(TextPortFileOnAPipe, AReaderThatComesWithinTheTimeOutGetsTheLines) {
    auto reading = std::async(std::launch::async, [this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QFile pipe(path());
        return pipe.open(QIODevice::ReadOnly) ? pipe.readAll() : QByteArray("not opened");
    });
    printing::TextPortFile port(path(), std::chrono::milliseconds(5000));
    port.writeLine(QStringLiteral("Pedido: 7"));
    port.close();
    EXPECT_EQ(reading.get(), QByteArray("Pedido: 7\r\n"));
}

// A device that poll() calls writable and that takes nothing still fails after the
// time-out instead of being tried again for ever.
TEST(TextPortFile, ADeviceAlwaysWritableToPollThatTakesNothingTimesOut) {
    QTemporaryDir dir;
    const QString path = dir.filePath("lp0");
    printing::TextPortFile port(path, std::chrono::milliseconds(300));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    g_refusingFile = status.st_ino;
    auto writing = std::async(std::launch::async, [&port]() -> std::string {
        try {
            port.writeLine(QStringLiteral("Pedido: 7"));
            return "written";
        } catch (const printing::OutputError& error) {
            return error.what();
        }
    });
    // Before the future's end waits for the writer: a writer that never gives up gets free.
    const auto writable = qScopeGuard([] { g_refusingFile = 0; });
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "still writing";
    EXPECT_NE(writing.get().find("lp0: the port took no data for 300 ms"), std::string::npos);
}

} // namespace
