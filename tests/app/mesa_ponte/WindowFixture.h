#pragma once

// The main window built headless over fresh real databases, with its own data folder,
// recorded messages, a fixed printer list and fixed network addresses.
//
//   WindowFixture fixture;                       // embedded databases
//   TFormPalms& form = fixture.start();          // runs FormCreate
//   form.show();                                 // runs FormShow

#include "app/mesa_ponte/TFormPalms.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace windowtest {

class WindowFixture {
public:
    explicit WindowFixture(testsupport::Access access = testsupport::Access::Embedded)
        : m_access(access) {
        EXPECT_TRUE(m_data.isValid());
        setenv("TOBRASK_BARES_DIR", m_data.path().toLocal8Bit().constData(), 1);
        setenv("TOBRASK_DB_DIR", m_dbs.folder().toLocal8Bit().constData(), 1);
        const QString server = access == testsupport::Access::Server ? testsupport::testServer()
                                                                     : QStringLiteral("nil");
        writeDataFile("QibClientServ.ini", (server + QStringLiteral("\r\n\r\n")).toUtf8());
        setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    }
    ~WindowFixture() {
        m_form.reset();
        unsetenv("TOBRASK_BARES_DIR");
        unsetenv("TOBRASK_DB_DIR");
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    TFormPalms& start() {
        m_form.reset();
        m_form = std::make_unique<TFormPalms>();
        return *m_form;
    }
    void stop() { m_form.reset(); }
    TFormPalms& form() { return *m_form; }

    void writeDataFile(const QString& name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    QByteArray readDataFile(const QString& name) const {
        return lockedfile::readAll(m_data.filePath(name));
    }
    QString dataPath(const QString& name) const { return m_data.filePath(name); }

    // The tablets' database as a test's own connection reaches it.
    QString tablets() const { return m_dbs.tabletsText(m_access); }
    void onTablets(const QString& statement) { testsupport::executeSql(tablets(), statement); }
    QList<QStringList> tabletRows(const QString& select, const QStringList& columns) const {
        return testsupport::selectRows(tablets(), select, columns);
    }

    bool shown(const QString& text) const {
        for (const messages::Shown& message : recorder.shown()) {
            if (message.text == text)
                return true;
        }
        return false;
    }

    messages::Recorder recorder;

private:
    testsupport::Access m_access;
    printers::ScopedSource m_printers{[] {
        return printers::InstalledPrinters{{"PDF", "Cozinha"}, "PDF"};
    }};
    networkaddresses::ScopedSource m_addresses{[] {
        return QStringList{"10.0.0.2", "192.168.1.7"};
    }};
    testsupport::TestDatabases m_dbs;
    QTemporaryDir m_data;
    std::unique_ptr<TFormPalms> m_form;
};

} // namespace windowtest
