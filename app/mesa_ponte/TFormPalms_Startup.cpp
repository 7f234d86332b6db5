#include "app/mesa_ponte/TFormPalms.h"

#include "app/QibClientServ/QibClientServ.h"
#include "app/SettingsFile.h"
#include "app/TextCodec.h"
#include "app/TextConventions.h"
#include "app/core/DozEdizSettings.h"
#include "app/core/FlagSetSNWide.h"
#include "app/core/ProgramLog.h"
#include "platform/DataFolder.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/MessageSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <exception>
#include <stdexcept>

namespace {

QString qbxText(std::int32_t what) {
    const char16_t* text = qbx(what);
    return text ? QString::fromUtf16(text) : QString();
}

QString mainDatabasePath() {
    return QDir(datafolder::databaseFolder()).filePath(QStringLiteral("DRAVCUVORA22.FDB"));
}

QString tabletsDatabasePath() {
    return QDir(datafolder::databaseFolder()).filePath(QStringLiteral("DRAVPALMS.FDB"));
}

QString catalogueLookUp(const QString& table) {
    return QStringLiteral("select * from rdb$relation_fields  where "
                          "RDB$RELATION_FIELDS.rdb$relation_name = ") +
           quotedSql(table);
}

QString catalogueLookUp(const QString& table, const QString& column) {
    return catalogueLookUp(table) + QStringLiteral(" AND  RDB$RELATION_FIELDS.RDB$FIELD_NAME = ") +
           quotedSql(column);
}

bool catalogueHasRow(db::Query& query, const QString& statement) {
    query.open({statement});
    return !query.eof();
}

// The first empresa row's flag word; a missing row gives 0 as a NULL does.
int flagWord(const db::Query& empresa, const QString& column) {
    return empresa.eof() ? 0 : static_cast<int>(empresa.field(column).asInteger());
}

void setListKeepingText(QComboBox* box, const QStringList& entries) {
    const QString text = box->currentText();
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

void logIgnoredAddress(const QString& address, const QString& file, const QString& reason) {
    programlog::write(QStringLiteral("Endereço do servidor '%1' de %2 ignorado: %3; os bancos "
                                     "são abertos nos caminhos locais.")
                          .arg(address, file, reason));
}

// Whether the library's answer names a server at all; a short one is logged as ignored.
// With no server, SetupRede.Ini is not read either.
bool libraryReportsServer(const QString& reported, const QString& libraryFile) {
    const QString trimmed = trimText(reported);
    if (trimmed != QLatin1String("nil") && trimmed.size() >= 6)
        return true;
    if (!trimmed.isEmpty() && trimmed != QLatin1String("nil"))
        logIgnoredAddress(reported, libraryFile, QStringLiteral("tem menos de 6 caracteres"));
    if (datafolder::fileExists(QStringLiteral("SetupRede.Ini")))
        programlog::write(QStringLiteral("SetupRede.Ini não é lido: %1 não dá um servidor "
                                         "('%2'); os bancos são abertos nos caminhos locais.")
                              .arg(libraryFile, reported));
    return false;
}

// The server address as given, or empty text when it is too short or starts with no digit
// (logged when a server was asked for).
QString acceptedServerAddress(const QString& server, bool reportsServer, const QString& source) {
    const QString trimmed = trimText(server);
    if (trimmed.size() >= 8 && trimmed.at(0) >= u'0' && trimmed.at(0) <= u'9')
        return server;
    if (reportsServer)
        logIgnoredAddress(server, source,
                          trimmed.size() < 8
                              ? QStringLiteral("tem menos de 8 caracteres")
                              : QStringLiteral("não começa por um algarismo (um nome de "
                                               "máquina não é aceito: use o endereço "
                                               "numérico, por exemplo 192.168.0.10/3050)"));
    return QString();
}

void disconnectQuietly(db::Connection& connection) noexcept {
    try {
        connection.disconnect();
    } catch (const std::exception&) {
        // The attachment is dropped whatever the server answers.
    }
}

} // namespace

void TFormPalms::FormCreate() {
    m_startupError.clear();
    try {
        runStartupSteps();
    } catch (const std::exception& error) {
        m_startupError = handlerguard::messageOf(error);
        m_startupWithoutDatabases = !Logon.isConnected() || !LogonP.isConnected();
        // Without the tablets' database no cycle can ever run (nothing reconnects), and an
        // embedded attachment would keep the main database from every other program.
        if (!LogonP.isConnected())
            disconnectQuietly(Logon);
        throw;
    }
}

void TFormPalms::connectLogged(db::Connection& connection, const QString& which) {
    try {
        connection.connect();
    } catch (const std::exception& error) {
        // Both connections use the fixed user SYSDBA with the program's own password.
        const QString origin = db::Connection::isLocalPath(connection.database())
                                   ? QStringLiteral("caminho local, usuário SYSDBA")
                                   : QStringLiteral("servidor '%1' de %2, usuário SYSDBA")
                                         .arg(ServerAddress, m_addressSource);
        programlog::write(QStringLiteral("Falha ao conectar o banco %1 '%2' (%3): %4.")
                              .arg(which, connection.database(), origin,
                                   programlog::clause(handlerguard::messageOf(error))));
        throw;
    }
}

void TFormPalms::runStartupSteps() {
    readServerAddress();
    setDatabasePaths();
    connectDatabases();
    runStepsAfterConnecting();
}

void TFormPalms::runStepsAfterConnecting() {
    clearPortFields();
    openEstablishment();
    createMissingTables();
    addMissingColumns();
    tellTabletsTheLargerFlag();
    showEstablishmentName();
    fillPrinterBoxes();
    loadPrinterSettings();
}

void TFormPalms::readServerAddress() {
    const QString libraryFile = QString::fromUtf16(kQibClientServSettingsFile);
    const QString reported = qbxText(6);
    const bool reportsServer = libraryReportsServer(reported, libraryFile);

    QString server = reported;
    m_addressSource = libraryFile;
    if (reportsServer && datafolder::fileExists(QStringLiteral("SetupRede.Ini"))) {
        const QStringList lines =
            readAnsiTextLines(datafolder::filePath(QStringLiteral("SetupRede.Ini")));
        if (!lines.isEmpty() && !trimText(lines.first()).isEmpty()) {
            server = lines.first();
            m_addressSource = QStringLiteral("SetupRede.Ini");
        }
    }
    ServerAddress = acceptedServerAddress(server, reportsServer, m_addressSource);
}

void TFormPalms::setDatabasePaths() {
    Logon.setRole(QStringLiteral("principal"));
    LogonP.setRole(QStringLiteral("dos tablets"));
    if (!trimText(ServerAddress).isEmpty()) {
        Logon.setDatabase(ServerAddress + u':' + mainDatabasePath());
        LogonP.setDatabase(ServerAddress + u':' + tabletsDatabasePath());
    } else {
        Logon.setDatabase(mainDatabasePath());
        LogonP.setDatabase(tabletsDatabasePath());
    }
}

// Only the main database falls back to its local path.
void TFormPalms::connectDatabases() {
    const bool viaServer = !trimText(ServerAddress).isEmpty();
    const QString mainDatabase = QStringLiteral("principal");
    const QString tabletsDatabase = QStringLiteral("dos tablets");
    try {
        connectLogged(Logon, mainDatabase);
        connectLogged(LogonP, tabletsDatabase);
    } catch (const std::exception&) {
        if (viaServer) {
            messages::showMessage(QStringLiteral(" Erro ao Conectar servidor..."));
            Logon.disconnect();
            Logon.setDatabase(mainDatabasePath());
            programlog::write(QStringLiteral("O banco principal volta ao caminho local '%1'; o "
                                             "banco dos tablets fica em '%2'.")
                                  .arg(Logon.database(), LogonP.database()));
            connectLogged(Logon, mainDatabase);
        }
    }
    if (!LogonP.isConnected())
        connectLogged(LogonP, tabletsDatabase);
    // This machine's server may have come up since the main database opened embedded (at
    // boot, a moment before the tablets' database answered): held embedded, the file would
    // be kept from that server, and the point of sale, all evening. Connecting again goes
    // through the server when it answers now, else embedded as before. A tablets' database
    // held embedded too means no server answered here a moment ago: nothing to try again.
    if (Logon.route() == db::Connection::Route::Embedded &&
        LogonP.route() != db::Connection::Route::Embedded) {
        Logon.disconnect();
        connectLogged(Logon, mainDatabase);
    }
}

void TFormPalms::clearPortFields() {
    for (QLineEdit* port : {Edit29, Edit30, Edit31, Edit32, Edit33})
        port->clear();
}

// The establishment's row stays open for the whole run.
void TFormPalms::openEstablishment() {
    Empresa.open({QStringLiteral("select * from empresa")});
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));
}

// Missing tables of the tablets' database, each on its own.
void TFormPalms::createMissingTables() {
    struct NewTable {
        QString name;
        QStringList lines;
    };
    const NewTable tables[] = {
        {QStringLiteral("FECHAR"),
         {QStringLiteral("CREATE TABLE FECHAR ("), QStringLiteral("FECHAR VARCHAR(1)"),
          QStringLiteral(")")}},
        {QStringLiteral("CONFIG"),
         {QStringLiteral("CREATE TABLE CONFIG ("), QStringLiteral("COVER VARCHAR(1),"),
          QStringLiteral("SERV  VARCHAR(1),"), QStringLiteral("VLRCOVER  FLOAT,"),
          QStringLiteral("VLRSERV   FLOAT"), QStringLiteral(")")}},
        {QStringLiteral("PROMOCAO"),
         {QStringLiteral("CREATE TABLE PROMOCAO ("), QStringLiteral("PROMOCAO  VARCHAR(1)"),
          QStringLiteral(")")}},
        {QStringLiteral("GERAID"),
         {QStringLiteral("CREATE TABLE GERAID ("), QStringLiteral("ID  INTEGER NOT NULL"),
          QStringLiteral(")")}},
    };
    for (const NewTable& table : tables) {
        try {
            if (catalogueHasRow(erro2, catalogueLookUp(table.name)))
                continue;
            erro.execute(table.lines);
            if (table.name == QLatin1String("GERAID"))
                erro.execute({QStringLiteral("insert into GERAID (ID) values ('0') ")});
        } catch (const std::exception&) {
            // A table that cannot be created is left to the tablets' software.
        }
    }
}

void TFormPalms::addMissingColumns() {
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("FECHAR"), QStringLiteral("ABRIR"))))
        erro.execute({QStringLiteral("ALTER TABLE FECHAR  ADD ABRIR VARCHAR(1);")});
    if (!catalogueHasRow(Atualiza,
                         catalogueLookUp(QStringLiteral("MESA"), QStringLiteral("IMPRESSORA"))))
        Atualiza3.execute({QStringLiteral("ALTER TABLE MESA   ADD IMPRESSORA VARCHAR(1);")});
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("CONFIG"), QStringLiteral("MAIOR"))))
        erro.execute({QStringLiteral("ALTER TABLE CONFIG  ADD MAIOR VARCHAR(1);")});
}

// The tablets learn whether flag 64 is set.
void TFormPalms::tellTabletsTheLargerFlag() {
    const bool larger = FlagSetSNWide(SCC4, 64) == QLatin1String("S");
    erro.execute({QStringLiteral("UPDATE CONFIG SET MAIOR = ") +
                  (larger ? QStringLiteral("'S'") : QStringLiteral("'N'"))});
    Atualiza.close();
}

// The establishment's name and the title.
void TFormPalms::showEstablishmentName() {
    try {
        EstablishmentName = TextCodec(QStringLiteral("D"), qbxText(1));
    } catch (const std::exception&) {
        EstablishmentName.clear();
    }
    setApplicationTitle(QStringLiteral("Interface Cuvora Tablet"));
    Label33->setText(EstablishmentName);
}

void TFormPalms::fillPrinterBoxes() {
    const QStringList installed = printers::installed().names;
    const QStringList tail1 = {QStringLiteral("Informar Porta"), QStringLiteral("Nao Imprimir"),
                               QStringLiteral("Visualizar")};
    const QStringList kitchenTail = {QStringLiteral("Informar Porta"),
                                     QStringLiteral("Monitor Cozinha"),
                                     QStringLiteral("Nao Imprimir"), QStringLiteral("Visualizar")};
    setListKeepingText(ComboBox1, installed + tail1);
    for (QComboBox* box : {ComboBox2, ComboBox3, ComboBox4, ComboBox5})
        setListKeepingText(box, installed + kitchenTail);
    Edit22->setText(QStringLiteral("7"));
    Edit28->setText(QStringLiteral("8"));
}

// DozEdiz.INI into the controls; without it the defaults stay.
void TFormPalms::loadPrinterSettings() {
    if (!datafolder::fileExists(QStringLiteral("DozEdiz.INI")))
        return;
    const DozEdizSettings settings = readDozEdiz();
    QComboBox* const boxes[] = {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5};
    QLineEdit* const addressFields[] = {Edit23, Edit24, Edit25, Edit26, Edit27};
    QLineEdit* const portFields[] = {Edit29, Edit30, Edit31, Edit32, Edit33};
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        boxes[i]->setEditText(settings.destinations[i]);
    if (const std::optional<int> feed = settings.feedLineCount())
        Edit22->setText(QString::number(*feed));
    CheckBox1->setChecked(settings.groupItems == QLatin1String("S"));
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        addressFields[i]->setText(trimText(settings.addresses[i]));
    Edit28->setText(trimText(settings.fontSize));
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        portFields[i]->setText(trimText(settings.ports[i]));
}

QString TFormPalms::startupFailure() const {
    QStringList missing;
    if (!LogonP.isConnected())
        missing.append(QStringLiteral("dos tablets '%1'").arg(LogonP.database()));
    if (!Logon.isConnected())
        missing.append(QStringLiteral("principal '%1'").arg(Logon.database()));
    const QString cause =
        m_startupError.isEmpty() ? QStringLiteral("erro desconhecido") : m_startupError;
    if (missing.isEmpty())
        return QStringLiteral("A inicialização parou antes de ler a empresa: %1").arg(cause);
    return QStringLiteral("Banco de dados não conectado: %1. A inicialização parou em: %2")
        .arg(missing.join(QStringLiteral(", ")), cause);
}

void TFormPalms::logStartup() {
    const auto how = [](const db::Connection& connection) {
        switch (connection.route()) {
        case db::Connection::Route::Server:
            return QStringLiteral("pelo servidor");
        case db::Connection::Route::LocalServer:
            return QStringLiteral("pelo servidor Firebird desta máquina");
        case db::Connection::Route::Embedded:
            return QStringLiteral("localmente pelo motor embutido (enquanto o programa roda, "
                                  "nenhum outro programa pode abrir este arquivo)");
        case db::Connection::Route::None:
            break;
        }
        return QStringLiteral("não conectado");
    };
    QString printerList;
    try {
        const printers::InstalledPrinters found = printers::installed();
        printerList = found.names.isEmpty() ? QStringLiteral("nenhuma")
                                            : found.names.join(QStringLiteral(", "));
        if (!found.defaultPrinter.isEmpty())
            printerList += QStringLiteral(" (padrão %1)").arg(found.defaultPrinter);
    } catch (const std::exception& error) {
        printerList = QStringLiteral("não listadas (%1)").arg(handlerguard::messageOf(error));
    }
    programlog::write(
        QStringLiteral("Início: pasta de dados '%1'; banco principal '%2' %3; banco dos tablets "
                       "'%4' %5; impressoras: %6; leitura dos tablets a cada %7 s.")
            .arg(datafolder::dataFolder(), Logon.database(), how(Logon), LogonP.database(),
                 how(LogonP), printerList, QString::number(Timer2->interval() / 1000)));
}

void TFormPalms::FormShow() {
    Label45->setText(QStringLiteral("IP Servidor: ") + LocalIPAddress());
    Label51->setText(QStringLiteral("para conexão smartphones"));

    // Open already since start-up: the row fetched then is read again. When start-up
    // stopped before it, its text is empty, and Firebird's complaint about an empty
    // statement would hide why.
    if (!Empresa.isOpen())
        throw std::runtime_error(startupFailure().toStdString());
    readEstablishmentFlags();
}

void TFormPalms::readEstablishmentFlags() {
    Empresa.open();
    SCC5 = flagWord(Empresa, QStringLiteral("SCC5"));
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));

    loadTabletSwitches();
}

QString LocalIPAddress() {
    const QStringList addresses = networkaddresses::localIPv4Addresses();
    return addresses.isEmpty() ? QString() : addresses.last();
}
