// Start-up while this machine's Firebird server is still coming up, in a process of its own:
// its client configuration is the folder of a server of the test's own, which the client
// reads once, at its first call.
#include "app/mesa_ponte/TFormPalms.h"

#include "app/db/FbClientSeam.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/support/OwnFirebirdServer.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr long kNetworkError = 335544721; // isc_network_error
constexpr long kUnavailable = 335544375;  // isc_unavailable: no server answers here

// The server address fails, and so does the main database's local path through this
// machine's server, which is not up yet: the main database opens embedded. A moment later
// the server is up and the tablets' database connects through it. The main database must
// then go through the server too, or the program would keep it from the point of sale all
// evening.
TEST(StartupWhileTheServerComesUp, TheMainDatabaseMovesToTheServerOnceItAnswers) {
    testsupport::OwnFirebirdServer server;
    ASSERT_NO_FATAL_FAILURE(server.start());
    const testsupport::ScopedEnvVar firebird("FIREBIRD", server.folder());
    const testsupport::ScopedEnvVar firebirdLock("FIREBIRD_LOCK", server.lockFolder());
    const testsupport::TestDatabases dbs;
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    const testsupport::ScopedEnvVar dataFolder("TOBRASK_BARES_DIR", data.path());
    const testsupport::ScopedEnvVar databaseFolder("TOBRASK_DB_DIR", dbs.folder());
    lockedfile::writeAll(data.filePath("QibClientServ.ini"),
                         (server.address() + "\r\n\r\n").toUtf8());
    const printers::ScopedSource printerList([] {
        return printers::InstalledPrinters{{"PDF"}, "PDF"};
    });
    const networkaddresses::ScopedSource addresses([] { return QStringList{"10.0.0.2"}; });
    setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    messages::Recorder recorder;

    // The first attachment (the main database through the server address) and the second
    // (its local path through this machine's server) fail; every later one goes through.
    int attachments = 0;
    auto form = [&attachments] {
        const db::ScopedFbFailureInjector failures([&attachments](db::FbCall call) -> long {
            if (call != db::FbCall::AttachDatabase)
                return 0;
            ++attachments;
            return attachments == 1 ? kNetworkError : attachments == 2 ? kUnavailable : 0;
        });
        return std::make_unique<TFormPalms>();
    }();

    EXPECT_EQ(form->cycle().LogonP.route(), db::Connection::Route::Server);
    EXPECT_EQ(form->cycle().Logon.database(), dbs.mainPath());
    EXPECT_EQ(form->cycle().Logon.route(), db::Connection::Route::LocalServer);
    EXPECT_TRUE(recorder.standardErrors().empty());
    // The point of sale reaches the main database through the server meanwhile.
    EXPECT_NO_THROW(testsupport::executeSql(server.address() + u':' + dbs.mainPath(),
                                            "select count(*) from rdb$database"));
    EXPECT_EQ(
        form->cycle().Logon.run(QStringLiteral("select count(*) from rdb$database")).rowCount(), 1);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
