#pragma once

// The main window built headless over fresh real databases, with its own data folder,
// recorded messages, a fixed printer list and fixed network addresses.
//
//   WindowFixture fixture;                       // embedded databases
//   TFormPalms& form = fixture.start();          // runs FormCreate
//   form.show();                                 // runs FormShow
//
// WindowOptions change what the window finds; tests with more set-up of their own derive
// from the fixture. A control is reached by its stored name:
//
//   windowtest::control<QLineEdit>(form, "Edit22")->setText("0");

#include "app/mesa_ponte/TFormPalms.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestDatabases.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace windowtest {

// The window's control of this stored name (its objectName); throws when there is none.
template <typename Control> Control* control(const QObject& window, const char* name) {
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the window has no control named ") + name);
    return found;
}

// The controls of a numbered run of stored names, e.g. ComboBox1 to ComboBox5.
template <typename Control>
QList<Control*> controls(const QObject& window, const char* stem, int first, int last) {
    QList<Control*> found;
    for (int number = first; number <= last; ++number)
        found.append(control<Control>(window, (stem + std::to_string(number)).c_str()));
    return found;
}

struct WindowOptions {
    testsupport::Access access = testsupport::Access::Embedded;
    // What the window lists as installed printers and local addresses; none leaves the
    // machine's own.
    std::optional<printers::InstalledPrinters> installedPrinters =
        printers::InstalledPrinters{{"PDF", "Cozinha"}, "PDF"};
    std::optional<QStringList> localAddresses = QStringList{"10.0.0.2", "192.168.1.7"};
    // The establishment's name as the library gives it (the second line of its file).
    QString encodedName{};
    // Without them, the test points the window at databases and writes the library's file
    // itself.
    bool ownDatabases = true;
};

class WindowFixture {
public:
    explicit WindowFixture(testsupport::Access access = testsupport::Access::Embedded)
        : WindowFixture(WindowOptions{.access = access}) {}
    explicit WindowFixture(const WindowOptions& options) : m_access(options.access) {
        EXPECT_TRUE(m_data.isValid());
        m_dataFolder.emplace("TOBRASK_BARES_DIR", m_data.path());
        if (options.ownDatabases) {
            m_dbs.emplace();
            m_databaseFolder.emplace("TOBRASK_DB_DIR", m_dbs->folder());
            const QString server = options.access == testsupport::Access::Server
                                       ? testsupport::testServer()
                                       : QStringLiteral("nil");
            writeDataFile("QibClientServ.ini", (server + QStringLiteral("\r\n") +
                                                options.encodedName + QStringLiteral("\r\n"))
                                                   .toUtf8());
        }
        if (const auto& installed = options.installedPrinters)
            m_printers.emplace([installed = *installed] { return installed; });
        if (const auto& addresses = options.localAddresses)
            m_addresses.emplace([addresses = *addresses] { return addresses; });
        setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    }
    ~WindowFixture() { m_form.reset(); }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    TFormPalms& start(TFormPalmsOptions options = {}) {
        m_form.reset();
        m_form = std::make_unique<TFormPalms>(std::move(options));
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
    void removeDataFile(const QString& name) { QFile::remove(m_data.filePath(name)); }
    QString dataPath(const QString& name) const { return m_data.filePath(name); }

    // The tablets' database as a test's own connection reaches it.
    QString tablets() const { return m_dbs->tabletsText(m_access); }
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

    // The main database as a test's own connection reaches it.
    QString mainDatabase() const { return m_dbs->mainText(m_access); }

    messages::Recorder recorder;

protected:
    // A new window built while the last one, if any, still stands.
    TFormPalms& replaceForm(TFormPalmsOptions options = {}) {
        m_form = std::make_unique<TFormPalms>(std::move(options));
        return *m_form;
    }

private:
    testsupport::Access m_access;
    std::optional<printers::ScopedSource> m_printers;
    std::optional<networkaddresses::ScopedSource> m_addresses;
    std::optional<testsupport::TestDatabases> m_dbs;
    QTemporaryDir m_data;
    std::optional<testsupport::ScopedEnvVar> m_dataFolder;
    std::optional<testsupport::ScopedEnvVar> m_databaseFolder;
    std::unique_ptr<TFormPalms> m_form;
};

} // namespace windowtest
