#include "app/mesa_ponte/TFormPalms.h"

#include "app/QibClientServ/QibClientServ.h"
#include "app/core/Destination.h"
#include "app/core/DozEdizSettings.h"
#include "app/core/FlagSetSNWide.h"
#include "app/core/ProgramLog.h"
#include "app/core/SentReport.h"
#include "app/mesa_ponte/TFormPalms_Ui.h"
#include "app/settings/SettingsFile.h"
#include "app/text/TextCodec.h"
#include "app/text/TextConventions.h"
#include "platform/DataFolder.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/printing/PrinterSelection.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/ModalSeam.h"

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

// Where a printer box's text sends its reports, as SendReport reads it, in words.
QString destinationInWords(const QString& text, DestinationUse use, const QString& port,
                           const printers::InstalledPrinters& installed) {
    const Destination target = Destination::parse(text, use);
    switch (target.kind) {
    case Destination::Kind::KitchenMonitor:
        return sentto::kitchenMonitor();
    case Destination::Kind::Nowhere:
        return sentto::nowhere();
    case Destination::Kind::Preview:
        return modal::hasScreen() ? QStringLiteral("pré-visualização")
                                  : QStringLiteral("pré-visualização, sem tela: vai para o log");
    case Destination::Kind::Port:
        return sentto::port(port);
    case Destination::Kind::Printer:
        break;
    }
    const int index = printing::indexOfPrinter(installed.names, target.printer);
    if (index >= 0)
        return QStringLiteral("fila CUPS '%1'").arg(installed.names.at(index));
    if (installed.defaultPrinter.isEmpty())
        return QStringLiteral("nenhuma fila (não é uma fila instalada, e não há impressora "
                              "padrão)");
    return QStringLiteral("fila padrão '%1' (não é uma fila instalada)")
        .arg(installed.defaultPrinter);
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
        m_startupWithoutDatabases = !m_cycle->Logon.isConnected() || !m_cycle->LogonP.isConnected();
        // Without the tablets' database no cycle can ever run (nothing reconnects), and an
        // embedded attachment would keep the main database from every other program.
        if (!m_cycle->LogonP.isConnected())
            disconnectQuietly(m_cycle->Logon);
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
    m_cycle->prepareDatabases();
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
    m_cycle->Logon.setRole(QStringLiteral("principal"));
    m_cycle->LogonP.setRole(QStringLiteral("dos tablets"));
    if (!trimText(ServerAddress).isEmpty()) {
        m_cycle->Logon.setDatabase(ServerAddress + u':' + mainDatabasePath());
        m_cycle->LogonP.setDatabase(ServerAddress + u':' + tabletsDatabasePath());
    } else {
        m_cycle->Logon.setDatabase(mainDatabasePath());
        m_cycle->LogonP.setDatabase(tabletsDatabasePath());
    }
}

// Only the main database falls back to its local path.
void TFormPalms::connectDatabases() {
    const bool viaServer = !trimText(ServerAddress).isEmpty();
    const QString mainDatabase = QStringLiteral("principal");
    const QString tabletsDatabase = QStringLiteral("dos tablets");
    try {
        connectLogged(m_cycle->Logon, mainDatabase);
        connectLogged(m_cycle->LogonP, tabletsDatabase);
    } catch (const std::exception&) {
        if (viaServer) {
            messages::showMessage(QStringLiteral(" Erro ao Conectar servidor..."));
            m_cycle->Logon.disconnect();
            m_cycle->Logon.setDatabase(mainDatabasePath());
            programlog::write(QStringLiteral("O banco principal volta ao caminho local '%1'; o "
                                             "banco dos tablets fica em '%2'.")
                                  .arg(m_cycle->Logon.database(), m_cycle->LogonP.database()));
            connectLogged(m_cycle->Logon, mainDatabase);
        }
    }
    if (!m_cycle->LogonP.isConnected())
        connectLogged(m_cycle->LogonP, tabletsDatabase);
    // This machine's server may have come up since the main database opened embedded (at
    // boot, a moment before the tablets' database answered): held embedded, the file would
    // be kept from that server, and the point of sale, all evening. Connecting again goes
    // through the server when it answers now, else embedded as before. A tablets' database
    // held embedded too means no server answered here a moment ago: nothing to try again.
    if (m_cycle->Logon.route() == db::Connection::Route::Embedded &&
        m_cycle->LogonP.route() != db::Connection::Route::Embedded) {
        m_cycle->Logon.disconnect();
        connectLogged(m_cycle->Logon, mainDatabase);
    }
}

void TFormPalms::clearPortFields() {
    for (QLineEdit* port : {m_ui->Edit29, m_ui->Edit30, m_ui->Edit31, m_ui->Edit32, m_ui->Edit33})
        port->clear();
}

// The establishment's name and the title.
void TFormPalms::showEstablishmentName() {
    try {
        m_cycle->EstablishmentName = TextCodec(QStringLiteral("D"), qbxText(1));
    } catch (const std::exception&) {
        m_cycle->EstablishmentName.clear();
    }
    setApplicationTitle(QStringLiteral("Interface Cuvora Tablet"));
    m_ui->Label33->setText(m_cycle->EstablishmentName);
}

void TFormPalms::fillPrinterBoxes() {
    const QStringList installed = printers::installed().names;
    const QStringList tail1 = {QStringLiteral("Informar Porta"), QStringLiteral("Nao Imprimir"),
                               QStringLiteral("Visualizar")};
    const QStringList kitchenTail = {QStringLiteral("Informar Porta"),
                                     QStringLiteral("Monitor Cozinha"),
                                     QStringLiteral("Nao Imprimir"), QStringLiteral("Visualizar")};
    setListKeepingText(m_ui->ComboBox1, installed + tail1);
    for (QComboBox* box : {m_ui->ComboBox2, m_ui->ComboBox3, m_ui->ComboBox4, m_ui->ComboBox5})
        setListKeepingText(box, installed + kitchenTail);
    m_ui->Edit22->setText(QStringLiteral("7"));
    m_ui->Edit28->setText(QStringLiteral("8"));
}

// DozEdiz.INI into the controls; without it the defaults stay.
void TFormPalms::loadPrinterSettings() {
    if (!datafolder::fileExists(QStringLiteral("DozEdiz.INI")))
        return;
    const DozEdizSettings settings = readDozEdiz();
    QComboBox* const boxes[] = {m_ui->ComboBox1, m_ui->ComboBox2, m_ui->ComboBox3, m_ui->ComboBox4,
                                m_ui->ComboBox5};
    QLineEdit* const addressFields[] = {m_ui->Edit23, m_ui->Edit24, m_ui->Edit25, m_ui->Edit26,
                                        m_ui->Edit27};
    QLineEdit* const portFields[] = {m_ui->Edit29, m_ui->Edit30, m_ui->Edit31, m_ui->Edit32,
                                     m_ui->Edit33};
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        boxes[i]->setEditText(settings.destinations[i]);
    if (const std::optional<int> feed = settings.feedLineCount())
        m_ui->Edit22->setText(QString::number(*feed));
    m_ui->CheckBox1->setChecked(settings.groupItems == QLatin1String("S"));
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        addressFields[i]->setText(trimText(settings.addresses[i]));
    m_ui->Edit28->setText(trimText(settings.fontSize));
    for (int i = 0; i < DozEdizSettings::kPrinters; ++i)
        portFields[i]->setText(trimText(settings.ports[i]));
}

QString TFormPalms::startupFailure() const {
    QStringList missing;
    if (!m_cycle->LogonP.isConnected())
        missing.append(QStringLiteral("dos tablets '%1'").arg(m_cycle->LogonP.database()));
    if (!m_cycle->Logon.isConnected())
        missing.append(QStringLiteral("principal '%1'").arg(m_cycle->Logon.database()));
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
    // A start-up that stopped early has not read the name.
    QString establishment =
        QStringLiteral("estabelecimento '%1'").arg(m_cycle->EstablishmentName.trimmed());
    if (m_cycle->EstablishmentName.trimmed().isEmpty())
        establishment = !m_startupError.isEmpty()
                            ? QStringLiteral("estabelecimento não lido")
                            : QStringLiteral("estabelecimento sem nome (linha 2 do %1)")
                                  .arg(QString::fromUtf16(kQibClientServSettingsFile));
    programlog::write(
        QStringLiteral("Início: %1; pasta de dados '%2'; banco principal '%3' %4; banco dos "
                       "tablets '%5' %6; impressoras: %7; leitura dos tablets a cada %8 s.")
            .arg(establishment, datafolder::dataFolder(), m_cycle->Logon.database(),
                 how(m_cycle->Logon), m_cycle->LogonP.database(), how(m_cycle->LogonP), printerList,
                 QString::number(m_ui->Timer2->interval() / 1000)));
    // The boxes hold DozEdiz.INI's texts only once start-up read it.
    if (m_startupError.isEmpty())
        logDestinations();
}

// Which box sends what where: the bill printer, kitchen printers 1 to 4 (printer number 5 to
// kitchen 1, and its second copy to kitchen 2), as the boxes and port fields read now.
void TFormPalms::logDestinations() {
    printers::InstalledPrinters installed;
    try {
        installed = printers::installed();
    } catch (const std::exception&) {
        // No printer listed: a printer's name then reads as no queue.
    }
    // The boxes in the snapshot's order: the bill's box, then kitchens 1 to 4.
    const QString what[CycleSnapshot::kPrinters] = {
        QStringLiteral("contas"),
        QStringLiteral("cozinha 1 (impressoras 1 e 5)"),
        QStringLiteral("cozinha 2 (impressora 2 e segunda via da 5)"),
        QStringLiteral("cozinha 3 (impressora 3)"),
        QStringLiteral("cozinha 4 (impressora 4)"),
    };
    const CycleSnapshot boxes = snapshot();
    QStringList said;
    for (int i = 0; i < CycleSnapshot::kPrinters; ++i) {
        const DestinationUse use = i == 0 ? DestinationUse::Bill : DestinationUse::KitchenTicket;
        said.append(
            QStringLiteral("%1 '%2': %3")
                .arg(what[i], boxes.destinations[i],
                     destinationInWords(boxes.destinations[i], use, boxes.ports[i], installed)));
    }
    programlog::write(QStringLiteral("Destinos: %1; impressora 0: não imprime.")
                          .arg(said.join(QStringLiteral("; "))));
}

void TFormPalms::FormShow() {
    m_ui->Label45->setText(QStringLiteral("IP Servidor: ") + LocalIPAddress());
    m_ui->Label51->setText(QStringLiteral("para conexão smartphones"));

    // Open already since start-up: the row fetched then is read again. When start-up
    // stopped before it, its text is empty, and Firebird's complaint about an empty
    // statement would hide why.
    if (!m_cycle->Empresa.isOpen())
        throw std::runtime_error(startupFailure().toStdString());
    readEstablishmentFlags();
}

void TFormPalms::readEstablishmentFlags() {
    m_cycle->readEstablishmentFlags();
    loadTabletSwitches();
}

QString LocalIPAddress() {
    const QStringList addresses = networkaddresses::localIPv4Addresses();
    return addresses.isEmpty() ? QString() : addresses.last();
}
