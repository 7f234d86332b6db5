#include "app/mesa_ponte/TFormPalms.h"

#include "app/db/FbClientSeam.h"
#include "app/text/TextCodec.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using testsupport::Access;
using testsupport::TestDatabases;

const QString kConnectError = QStringLiteral(" Erro ao Conectar servidor...");
constexpr long kNetworkError = 335544721; // isc_network_error

QStringList comboItems(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

// A data folder of its own, the databases' folder, recorded messages and a fixed list
// of printers; the window is built by start().
class StartupFixture : public windowtest::WindowFixture {
public:
    StartupFixture() : WindowFixture(windowtest::WindowOptions{.ownDatabases = false}) {}
    ~StartupFixture() {
        stop();
        m_failures.reset();
    }

    void useDatabaseFolder(const QString& folder) {
        m_databaseFolder.reset();
        m_databaseFolder.emplace("TOBRASK_DB_DIR", folder);
    }
    void setLibraryAnswers(const QString& address, const QString& encodedName = {}) {
        writeDataFile("QibClientServ.ini", (address + "\r\n" + encodedName + "\r\n").toUtf8());
    }
    // Asked before each libfbclient call until the window is gone.
    void injectFailures(db::FbFailureInjector injector) { m_failures.emplace(std::move(injector)); }

private:
    std::optional<db::ScopedFbFailureInjector> m_failures;
    std::optional<testsupport::ScopedEnvVar> m_databaseFolder;
};

// --- The server address ---------------------------------------------------------------

struct AddressCase {
    const char* name;
    QString library;
    std::optional<QByteArray> setupRede;
    QString server;
};

class ServerAddress : public ::testing::TestWithParam<AddressCase> {};

// No connection may leave the machine: every attach fails before reaching libfbclient,
// and the texts the connections were given are looked at.
TEST_P(ServerAddress, DecidesTheDatabaseTexts) {
    const AddressCase& c = GetParam();
    StartupFixture fixture;
    QTemporaryDir databases;
    fixture.useDatabaseFolder(databases.path());
    fixture.setLibraryAnswers(c.library);
    if (c.setupRede)
        fixture.writeDataFile("SetupRede.Ini", *c.setupRede);
    fixture.injectFailures(
        [](db::FbCall call) { return call == db::FbCall::AttachDatabase ? kNetworkError : 0L; });

    TFormPalms& form = fixture.start();

    const QString mainPath = databases.filePath("DRAVCUVORA22.FDB");
    const QString tabletsPath = databases.filePath("DRAVPALMS.FDB");
    EXPECT_EQ(form.serverAddress(), c.server);
    if (c.server.isEmpty()) {
        EXPECT_EQ(form.cycle().LogonP.database(), tabletsPath);
        EXPECT_FALSE(fixture.shown(kConnectError));
    } else {
        EXPECT_EQ(form.cycle().LogonP.database(), c.server + u':' + tabletsPath);
        EXPECT_TRUE(fixture.shown(kConnectError));
    }
    // The main database ends on its local path either way: it falls back.
    EXPECT_EQ(form.cycle().Logon.database(), mainPath);
    EXPECT_EQ(fixture.recorder.standardErrors().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServerAddress,
    ::testing::Values(
        AddressCase{"NilReadsNoSetupFile", "nil", QByteArray("10.1.1.5\r\n"), {}},
        AddressCase{"NilWithBlanks", "  nil ", QByteArray("10.1.1.5\r\n"), {}},
        AddressCase{"SetupFileReplacesTheLibrary", "192.168.0.10", QByteArray("10.1.1.5\r\n"),
                    "10.1.1.5"},
        AddressCase{"LibraryAloneWhenNoSetupFile", "192.168.0.10", std::nullopt, "192.168.0.10"},
        AddressCase{"NineCharactersFromALetter", "servidor1", std::nullopt, {}},
        AddressCase{"NineCharactersFromALetterThenTheFile", "servidor1", QByteArray("10.1.1.5\r\n"),
                    "10.1.1.5"},
        AddressCase{"SevenCharacters", "1.2.3.4", std::nullopt, {}},
        AddressCase{"FiveCharactersSkipTheFile", "1.2.3", QByteArray("10.1.1.5\r\n"), {}},
        AddressCase{"BlankLineZeroKeepsTheLibrary", "192.168.0.10",
                    QByteArray("   \r\n10.9.9.9\r\n"), "192.168.0.10"},
        AddressCase{"LineZeroIsUsedAsRead", "192.168.0.10", QByteArray(" 10.1.1.5 \r\n"),
                    " 10.1.1.5 "}),
    [](const ::testing::TestParamInfo<AddressCase>& info) { return std::string(info.param.name); });

TEST(ServerAddressFile, IsFoundWhateverTheCaseOfItsName) {
    StartupFixture fixture;
    QTemporaryDir databases;
    fixture.useDatabaseFolder(databases.path());
    fixture.setLibraryAnswers("192.168.0.10");
    fixture.writeDataFile("SETUPREDE.INI", "10.1.1.5\r\n");
    fixture.injectFailures(
        [](db::FbCall call) { return call == db::FbCall::AttachDatabase ? kNetworkError : 0L; });
    EXPECT_EQ(fixture.start().serverAddress(), QStringLiteral("10.1.1.5"));
}

// --- Schema upgrade, embedded and through the server ----------------------------------

class Startup : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        testsupport::FirebirdTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_dbs = std::make_unique<TestDatabases>();
        m_fixture = std::make_unique<StartupFixture>();
        m_fixture->useDatabaseFolder(m_dbs->folder());
        m_fixture->setLibraryAnswers(access() == Access::Server ? testsupport::testServer()
                                                                : QStringLiteral("nil"));
    }
    void TearDown() override {
        m_fixture.reset();
        m_dbs.reset();
    }

    QList<QStringList> tablets(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(m_dbs->tabletsText(access()), select, columns);
    }
    QList<QStringList> main(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(m_dbs->mainText(access()), select, columns);
    }
    void onMain(const QString& statement) {
        testsupport::executeSql(m_dbs->mainText(access()), statement);
    }
    void onTablets(const QString& statement) {
        testsupport::executeSql(m_dbs->tabletsText(access()), statement);
    }
    bool hasColumn(bool mainDatabase, const QString& table, const QString& column) {
        const QString select = QStringLiteral("select rdb$field_name from rdb$relation_fields "
                                              "where rdb$relation_name = '%1' and "
                                              "rdb$field_name = '%2'")
                                   .arg(table, column);
        const QStringList columns = {QStringLiteral("RDB$FIELD_NAME")};
        return !(mainDatabase ? main(select, columns) : tablets(select, columns)).isEmpty();
    }
    // Statements the window executes while it starts.
    int statementsOfAStart() {
        int executed = 0;
        {
            const db::ScopedFbFailureInjector counting([&executed](db::FbCall call) {
                if (call == db::FbCall::ExecuteStatement)
                    ++executed;
                return 0L;
            });
            m_fixture->start();
        }
        m_fixture->stop();
        return executed;
    }

    std::unique_ptr<TestDatabases> m_dbs;
    std::unique_ptr<StartupFixture> m_fixture;
};

TEST_P(Startup, CreatesTheMissingTablesAndColumnsOnceAndOnlyLooksThemUpAfterwards) {
    const QStringList created = {"FECHAR", "CONFIG", "PROMOCAO", "GERAID"};
    for (const QString& table : created)
        ASSERT_FALSE(hasColumn(false, table, table == "GERAID" ? "ID" : table))
            << table.toStdString();

    // Empresa, 4 table and 3 column look-ups, the CONFIG update; the first start also
    // creates 4 tables, the GERAID row and 3 columns.
    EXPECT_EQ(statementsOfAStart(), 9 + 8);
    EXPECT_TRUE(m_fixture->recorder.shown().empty());

    EXPECT_TRUE(hasColumn(false, "FECHAR", "FECHAR"));
    EXPECT_TRUE(hasColumn(false, "FECHAR", "ABRIR"));
    for (const char* column : {"COVER", "SERV", "VLRCOVER", "VLRSERV", "MAIOR"})
        EXPECT_TRUE(hasColumn(false, "CONFIG", column)) << column;
    EXPECT_TRUE(hasColumn(false, "PROMOCAO", "PROMOCAO"));
    EXPECT_EQ(tablets("select ID from GERAID", {"ID"}), (QList<QStringList>{{"0"}}));
    EXPECT_TRUE(hasColumn(true, "MESA", "IMPRESSORA"));

    EXPECT_EQ(statementsOfAStart(), 9);
    EXPECT_EQ(tablets("select ID from GERAID", {"ID"}), (QList<QStringList>{{"0"}}));
    EXPECT_TRUE(m_fixture->recorder.shown().empty());
}

TEST_P(Startup, ConfigMaiorFollowsFlag64OfScc4) {
    m_fixture->start();
    m_fixture->stop();
    onTablets("insert into CONFIG (COVER, MAIOR) values ('S', 'X')");
    onTablets("insert into CONFIG (COVER, MAIOR) values ('N', NULL)");
    const auto maior = [this] { return tablets("select MAIOR from CONFIG", {"MAIOR"}); };

    // No empresa row reads as flag words 0.
    m_fixture->start();
    EXPECT_EQ(m_fixture->form().cycle().SCC4, 0);
    m_fixture->stop();
    EXPECT_EQ(maior(), (QList<QStringList>{{"N"}, {"N"}}));

    onMain("insert into empresa (SCC4, SCC5) values (16448, 2048)");
    m_fixture->start();
    EXPECT_EQ(m_fixture->form().cycle().SCC4, 16448);
    m_fixture->stop();
    EXPECT_EQ(maior(), (QList<QStringList>{{"S"}, {"S"}}));

    onMain("update empresa set SCC4 = 16384");
    m_fixture->start();
    m_fixture->stop();
    EXPECT_EQ(maior(), (QList<QStringList>{{"N"}, {"N"}}));
    EXPECT_TRUE(m_fixture->recorder.shown().empty());
}

TEST_P(Startup, NameTitleAndPrinterBoxes) {
    m_fixture->setLibraryAnswers(access() == Access::Server ? testsupport::testServer()
                                                            : QStringLiteral("nil"),
                                 TextCodec("C", QString::fromUtf8("Restaurante Exemplo")));
    TFormPalms& form = m_fixture->start();
    EXPECT_TRUE(m_fixture->recorder.shown().empty());
    EXPECT_EQ(form.cycle().EstablishmentName, QStringLiteral("Restaurante Exemplo"));
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label33")->text(),
              QStringLiteral("Restaurante Exemplo"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Interface Cuvora Tablet"));
    EXPECT_EQ(form.cycle().Logon.isConnected(), true);
    EXPECT_EQ(form.cycle().LogonP.isConnected(), true);
    if (access() == Access::Server) {
        EXPECT_EQ(form.serverAddress(), testsupport::testServer());
    }

    EXPECT_EQ(comboItems(windowtest::control<QComboBox>(form, "ComboBox1")),
              (QStringList{"PDF", "Cozinha", "Informar Porta", "Nao Imprimir", "Visualizar"}));
    for (QComboBox* box : windowtest::controls<QComboBox>(form, "ComboBox", 2, 5))
        EXPECT_EQ(comboItems(box), (QStringList{"PDF", "Cozinha", "Informar Porta",
                                                "Monitor Cozinha", "Nao Imprimir", "Visualizar"}));
    // No DozEdiz.INI: no entry chosen, the stored texts stay, the boxes' defaults.
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox1")->currentText(), QString());
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox5")->currentText(),
              QStringLiteral("M - Matricial (paralela)"));
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), QStringLiteral("7"));
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit28")->text(), QStringLiteral("8"));
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit29")->text(), QString());
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit23")->text(), QStringLiteral("Edit23"));
}

TEST_P(Startup, AMalformedNameIsLeftEmptyWithoutAMessage) {
    m_fixture->setLibraryAnswers(access() == Access::Server ? testsupport::testServer()
                                                            : QStringLiteral("nil"),
                                 QStringLiteral("Z"));
    TFormPalms& form = m_fixture->start();
    EXPECT_TRUE(m_fixture->recorder.shown().empty());
    EXPECT_EQ(form.cycle().EstablishmentName, QString());
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label33")->text(), QString());
}

TEST_P(Startup, FormShowReadsTheRowFetchedAtStartUp) {
    onMain("insert into empresa (SCC4, SCC5) values (64, 2048)");
    TFormPalms& form = m_fixture->start();
    onMain("update empresa set SCC4 = 1, SCC5 = 1");
    form.FormShow();
    EXPECT_TRUE(m_fixture->recorder.shown().empty());
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label45")->text(),
              QStringLiteral("IP Servidor: 192.168.1.7"));
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label51")->text(),
              QStringLiteral("para conexão smartphones"));
    EXPECT_EQ(form.cycle().SCC4, 64);
    EXPECT_EQ(form.cycle().SCC5, 2048);
}

INSTANTIATE_TEST_SUITE_P(Firebird, Startup, testsupport::allAccesses(), testsupport::accessName);

// --- Failures ------------------------------------------------------------------------

class StartupFailure : public ::testing::Test {
protected:
    void SetUp() override {
        m_fixture.useDatabaseFolder(m_dbs.folder());
        m_fixture.setLibraryAnswers("nil");
    }
    // What the stored layout shows when start-up stopped before the title.
    void expectStoredLayout(TFormPalms& form) {
        EXPECT_EQ(applicationTitle(), QStringLiteral("Interface Cuvora 22 plus"));
        EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox1")->count(), 0);
        EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), QStringLiteral("Edit22"));
        EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit28")->text(), QStringLiteral("Edit22"));
        EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox5")->currentText(),
                  QStringLiteral("M - Matricial (paralela)"));
    }

    TestDatabases m_dbs;
    StartupFixture m_fixture;
};

TEST_F(StartupFailure, ARefusingServerFallsBackForTheMainDatabaseOnly) {
    // Port 1 of the loopback refuses at once.
    m_fixture.setLibraryAnswers("127.0.0.1/1");
    TFormPalms& form = m_fixture.start();

    ASSERT_GE(m_fixture.recorder.shown().size(), 2u);
    EXPECT_EQ(m_fixture.recorder.shown()[0].kind, messages::Kind::Message);
    EXPECT_EQ(m_fixture.recorder.shown()[0].text, kConnectError);
    EXPECT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_EQ(form.cycle().Logon.database(), m_dbs.mainPath());
    EXPECT_EQ(form.cycle().LogonP.database(), "127.0.0.1/1:" + m_dbs.tabletsPath());
    EXPECT_FALSE(form.cycle().LogonP.isConnected());
    // Without the tablets' database no cycle can run: the main database's fall-back is
    // not kept either, so it holds the file from nobody.
    EXPECT_FALSE(form.cycle().Logon.isConnected());
    // The port fields are emptied only after both connections.
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit29")->text(), QStringLiteral("Edit29"));
    expectStoredLayout(form);

    // FormShow names the database that is missing, not the empty statement it never had.
    m_fixture.recorder.clear();
    form.show();
    ASSERT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    const QString shown = m_fixture.recorder.standardErrors()[0].text;
    EXPECT_TRUE(shown.startsWith("Banco de dados não conectado: dos tablets '127.0.0.1/1:"))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains("Unexpected end of command")) << shown.toStdString();
}

TEST_F(StartupFailure, UnreachableLocalDatabasesEndInTheErrorBox) {
    m_fixture.useDatabaseFolder(m_fixture.dataPath("missing"));
    TFormPalms& form = m_fixture.start();
    EXPECT_FALSE(m_fixture.shown(kConnectError));
    ASSERT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(m_fixture.recorder.standardErrors()[0].text.contains("DRAVPALMS.FDB"));
    expectStoredLayout(form);

    // The window still shows; FormShow's own error ends in the box as well.
    m_fixture.recorder.clear();
    form.show();
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label45")->text(),
              QStringLiteral("IP Servidor: 192.168.1.7"));
    EXPECT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer3")->isActive());
}

TEST_F(StartupFailure, AMainDatabaseWithoutEmpresaCreatesNothing) {
    testsupport::executeSql(m_dbs.mainPath(), "drop table empresa");
    TFormPalms& form = m_fixture.start();
    ASSERT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(
        m_fixture.recorder.standardErrors()[0].text.contains("EMPRESA", Qt::CaseInsensitive));
    expectStoredLayout(form);
    m_fixture.stop();
    EXPECT_TRUE(testsupport::selectRows(m_dbs.tabletsPath(),
                                        "select rdb$relation_name from rdb$relations where "
                                        "rdb$relation_name in ('FECHAR', 'CONFIG', 'PROMOCAO', "
                                        "'GERAID')",
                                        {"RDB$RELATION_NAME"})
                    .isEmpty());
}

TEST_F(StartupFailure, ASetupFileHeldForWritingEndsInTheErrorBox) {
    m_fixture.setLibraryAnswers("192.168.0.10");
    m_fixture.writeDataFile("SetupRede.Ini", "10.1.1.5\r\n");
    const int fd = ::open(m_fixture.dataPath("SetupRede.Ini").toLocal8Bit().constData(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    TFormPalms& form = m_fixture.start();
    ::close(fd);
    ASSERT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(m_fixture.recorder.standardErrors()[0].text.contains("SetupRede.Ini"));
    EXPECT_FALSE(form.cycle().Logon.isConnected());
    expectStoredLayout(form);
}

TEST_F(StartupFailure, ADozEdizHeldForWritingLeavesTheDefaultsOfTheBoxes) {
    m_fixture.writeDataFile("DozEdiz.INI", "Visualizar\r\n");
    const int fd = ::open(m_fixture.dataPath("DozEdiz.INI").toLocal8Bit().constData(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    TFormPalms& form = m_fixture.start();
    ::close(fd);
    ASSERT_EQ(m_fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(m_fixture.recorder.standardErrors()[0].text.contains("DozEdiz.INI"));
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox1")->currentText(), QString());
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), QStringLiteral("7"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Interface Cuvora Tablet"));
}

// --- DozEdiz.INI ------------------------------------------------------------------------

struct DozEdizCase {
    const char* name;
    QByteArray file;
    QStringList boxes;  // ComboBox1 to ComboBox5
    QString feedLines;  // Edit22
    bool grouped;       // CheckBox1
    QStringList fields; // Edit23 to Edit33 (Edit28 the font size)
};

QByteArray lines(std::initializer_list<const char*> values, const char* end = "\r\n") {
    QByteArray bytes;
    for (const char* value : values)
        bytes += QByteArray(value) + end;
    return bytes;
}

class DozEdiz : public ::testing::TestWithParam<DozEdizCase> {};

TEST_P(DozEdiz, IsLoadedIntoTheControlsLineByLine) {
    const DozEdizCase& c = GetParam();
    TestDatabases dbs;
    StartupFixture fixture;
    fixture.useDatabaseFolder(dbs.folder());
    fixture.setLibraryAnswers("nil");
    fixture.writeDataFile("DozEdiz.INI", c.file);
    TFormPalms& form = fixture.start();
    EXPECT_TRUE(fixture.recorder.shown().empty());

    const QList<QComboBox*> boxes = windowtest::controls<QComboBox>(form, "ComboBox", 1, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(boxes[i]->currentText(), c.boxes.at(i)) << "ComboBox" << i + 1;
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), c.feedLines);
    EXPECT_EQ(windowtest::control<QCheckBox>(form, "CheckBox1")->isChecked(), c.grouped);
    const QList<QLineEdit*> fields = windowtest::controls<QLineEdit>(form, "Edit", 23, 33);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(fields[i]->text(), c.fields.at(i)) << "Edit" << 23 + i;
    // Loading a text chooses no entry of the list.
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox2")->count(), 6);
}

// The start line names the establishment; the next one says where each box sends, in words.
TEST(StartLine, NamesTheEstablishmentAndWhereEachBoxSends) {
    for (const bool named : {true, false}) {
        TestDatabases dbs;
        StartupFixture fixture;
        fixture.useDatabaseFolder(dbs.folder());
        fixture.setLibraryAnswers(
            "nil", named ? TextCodec("C", QString::fromUtf8("Cantina São João")) : QString());
        fixture.writeDataFile("DozEdiz.INI", "Caixa\r\ncozinha\r\n7\r\n\r\nInformar Porta\r\n"
                                             "Monitor Cozinha\r\nNao Imprimir\r\nN\r\n\r\n\r\n"
                                             "\r\n\r\n\r\n9\r\n\r\n\r\n/dev/usb/lp1\r\n\r\n\r\n");
        TFormPalms& form = fixture.start();
        form.logStartup();

        QStringList lines = QString::fromUtf8(fixture.readDataFile("interface-cuvora.log"))
                                .split(u'\n', Qt::SkipEmptyParts);
        for (QString& line : lines)
            line = line.section(u' ', 1);
        ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
        EXPECT_TRUE(lines[0].startsWith(
            named
                ? QString::fromUtf8("Início: estabelecimento 'Cantina São João'; pasta de dados '")
                : QString::fromUtf8("Início: estabelecimento sem nome (linha 2 do "
                                    "QibClientServ.ini); pasta de dados '")))
            << lines[0].toStdString();
        EXPECT_EQ(lines[1],
                  QString::fromUtf8(
                      "Destinos: contas 'Caixa': fila padrão 'PDF' (não é uma fila instalada); "
                      "cozinha 1 (impressoras 1 e 5) 'cozinha': fila CUPS 'Cozinha'; cozinha 2 "
                      "(impressora 2 e segunda via da 5) 'Informar Porta': porta '/dev/usb/lp1'; "
                      "cozinha 3 (impressora 3) 'Monitor Cozinha': no monitor da cozinha "
                      "(cozinha2), sem impressão; cozinha 4 (impressora 4) 'Nao Imprimir': sem "
                      "impressão; impressora 0: não imprime."));
    }
}

const QStringList kFullFields = {"192.168.0.50",     "", "", "", "", "9", "/dev/usb/lp0",
                                 "/tmp/cozinha.txt", "", "", ""};

INSTANTIATE_TEST_SUITE_P(
    Cases, DozEdiz,
    ::testing::Values(
        DozEdizCase{"NineThenALetter",
                    lines({"Visualizar", "Cozinha", "9", "x", "Informar Porta", "Nao Imprimir",
                           "Monitor Cozinha", "S", " 192.168.0.50 ", "", "", "", "", " 9 ",
                           "/dev/usb/lp0", "/tmp/cozinha.txt", "", "", ""}),
                    {"Visualizar", "Cozinha", "Informar Porta", "Nao Imprimir", "Monitor Cozinha"},
                    "9",
                    true,
                    kFullFields},
        DozEdizCase{"LineThreeWins",
                    lines({"a", "b", "9", "+12", "c", "d", "e", "N", "", "", "", "", "", "", "", "",
                           "", "", ""}),
                    {"a", "b", "c", "d", "e"},
                    "12",
                    false,
                    {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{"LettersInBoth",
                    lines({"a", "b", "x", "y", "c", "d", "e", "S"}),
                    {"a", "b", "c", "d", "e"},
                    "7",
                    true,
                    {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{"LowerCaseS",
                    lines({"a", "b", "5", "5", "c", "d", "e", "s"}),
                    {"a", "b", "c", "d", "e"},
                    "5",
                    false,
                    {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{"FiveLines",
                    lines({" Visualizar ", "Cozinha", "3", "4", "PDF"}),
                    {" Visualizar ", "Cozinha", "PDF", "", ""},
                    "4",
                    false,
                    {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{"LoneLineBreaks",
                    lines({"Visualizar", "Cozinha", "6", "6", "PDF", "f", "g", "S"}, "\n"),
                    {"Visualizar", "Cozinha", "PDF", "f", "g"},
                    "6",
                    true,
                    {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{
            "Utf8WithBom",
            "\xEF\xBB\xBF" + lines({"Impressora Sal\xC3\xA3o", "Cozinha", "8", "8", "Caf\xC3\xA9",
                                    "d", "e", "S"}),
            {QString::fromUtf8("Impressora Salão"), "Cozinha", QString::fromUtf8("Café"), "d", "e"},
            "8",
            true,
            {"", "", "", "", "", "", "", "", "", "", ""}},
        DozEdizCase{
            "Windows1252Accents",
            lines({"Impressora Sal\xe3o", "Cozinha \x80", "8", "8", "Caf\xe9", "d", "e", "N"}),
            {QString::fromUtf8("Impressora Salão"), QString::fromUtf8("Cozinha €"),
             QString::fromUtf8("Café"), "d", "e"},
            "8",
            false,
            {"", "", "", "", "", "", "", "", "", "", ""}}),
    [](const ::testing::TestParamInfo<DozEdizCase>& info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
