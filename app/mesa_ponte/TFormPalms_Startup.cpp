#include "app/mesa_ponte/TFormPalms.h"

#include "app/QibClientServ/QibClientServ.h"
#include "app/SettingsFile.h"
#include "app/TextCodec.h"
#include "app/TextConventions.h"
#include "app/mesa_ponte/FlagSetSNWide.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/DataFolder.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include <exception>

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
    query.close();
    query.clearText();
    query.addLine(statement);
    query.open();
    return !query.eof();
}

void execute(db::Query& query, const QStringList& lines) {
    query.close();
    query.clearText();
    for (const QString& line : lines)
        query.addLine(line);
    query.execute();
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

} // namespace

void TFormPalms::FormCreate() {
    // 1 to 3: the database server's address.
    const QString reported = qbxText(6);
    QString address = reported;
    const QString trimmedReport = trimText(address);
    if (trimmedReport == QLatin1String("nil") || trimmedReport.size() < 6)
        address.clear();

    QString server = reported;
    if (!address.isEmpty() && datafolder::fileExists(QStringLiteral("SetupRede.Ini"))) {
        const QStringList lines =
            readAnsiTextLines(datafolder::filePath(QStringLiteral("SetupRede.Ini")));
        if (!lines.isEmpty() && !trimText(lines.first()).isEmpty())
            server = lines.first();
    }
    const QString trimmedServer = trimText(server);
    if (trimmedServer.size() < 8 || trimmedServer.at(0) < u'0' || trimmedServer.at(0) > u'9')
        server.clear();
    ServerAddress = server;

    // 4: database paths.
    const bool viaServer = !trimText(ServerAddress).isEmpty();
    if (viaServer) {
        Logon.setDatabase(ServerAddress + u':' + mainDatabasePath());
        LogonP.setDatabase(ServerAddress + u':' + tabletsDatabasePath());
    } else {
        Logon.setDatabase(mainDatabasePath());
        LogonP.setDatabase(tabletsDatabasePath());
    }

    // 5: connections; only the main database falls back to its local path.
    try {
        Logon.connect();
        LogonP.connect();
    } catch (const std::exception&) {
        if (viaServer) {
            messages::showMessage(QStringLiteral(" Erro ao Conectar servidor..."));
            Logon.disconnect();
            Logon.setDatabase(mainDatabasePath());
            Logon.connect();
        }
    }
    if (!LogonP.isConnected())
        LogonP.connect();
    for (QLineEdit* port : {Edit29, Edit30, Edit31, Edit32, Edit33})
        port->clear();

    // 6: the establishment's row stays open for the whole run.
    Empresa.close();
    Empresa.clearText();
    Empresa.addLine(QStringLiteral("select * from empresa"));
    Empresa.open();
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));

    // 7: missing tables of the tablets' database, each on its own.
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
            execute(erro, table.lines);
            if (table.name == QLatin1String("GERAID"))
                execute(erro, {QStringLiteral("insert into GERAID (ID) values ('0') ")});
        } catch (const std::exception&) {
            // A table that cannot be created is left to the tablets' software.
        }
    }

    // 8: missing columns.
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("FECHAR"), QStringLiteral("ABRIR"))))
        execute(erro, {QStringLiteral("ALTER TABLE FECHAR  ADD ABRIR VARCHAR(1);")});
    if (!catalogueHasRow(Atualiza,
                         catalogueLookUp(QStringLiteral("MESA"), QStringLiteral("IMPRESSORA"))))
        execute(Atualiza3, {QStringLiteral("ALTER TABLE MESA   ADD IMPRESSORA VARCHAR(1);")});
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("CONFIG"), QStringLiteral("MAIOR"))))
        execute(erro, {QStringLiteral("ALTER TABLE CONFIG  ADD MAIOR VARCHAR(1);")});

    // 9: the tablets learn whether flag 64 is set.
    const bool larger = FlagSetSNWide(SCC4, 64) == QLatin1String("S");
    execute(erro, {QStringLiteral("UPDATE CONFIG SET MAIOR = ") +
                   (larger ? QStringLiteral("'S'") : QStringLiteral("'N'"))});
    Atualiza.close();

    // 10, 11: the establishment's name and the title.
    try {
        EstablishmentName = TextCodec(QStringLiteral("D"), qbxText(1));
    } catch (const std::exception&) {
        EstablishmentName.clear();
    }
    setApplicationTitle(QStringLiteral("Interface Cuvora Tablet"));
    Label33->setText(EstablishmentName);

    // 12: the printer boxes.
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

    // 13: the printer settings.
    if (!datafolder::fileExists(QStringLiteral("DozEdiz.INI")))
        return;
    const NumberedLines settings = readDozEdiz();
    ComboBox1->setEditText(settings.line(0));
    ComboBox2->setEditText(settings.line(1));
    for (int line : {2, 3}) {
        if (const std::optional<int> feed = readInt(settings.line(line)))
            Edit22->setText(QString::number(*feed));
    }
    ComboBox3->setEditText(settings.line(4));
    ComboBox4->setEditText(settings.line(5));
    ComboBox5->setEditText(settings.line(6));
    CheckBox1->setChecked(settings.line(7) == QLatin1String("S"));
    QLineEdit* const addressFields[] = {Edit23, Edit24, Edit25, Edit26, Edit27};
    for (int i = 0; i < 5; ++i)
        addressFields[i]->setText(trimText(settings.line(8 + i)));
    Edit28->setText(trimText(settings.line(13)));
    QLineEdit* const portFields[] = {Edit29, Edit30, Edit31, Edit32, Edit33};
    for (int i = 0; i < 5; ++i)
        portFields[i]->setText(trimText(settings.line(14 + i)));
}

void TFormPalms::FormShow() {
    Label45->setText(QStringLiteral("IP Servidor: ") + LocalIPAddress());
    Label51->setText(QStringLiteral("para conexão smartphones"));

    // Open already since start-up: the row fetched then is read again.
    Empresa.open();
    SCC5 = flagWord(Empresa, QStringLiteral("SCC5"));
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));

    loadTabletSwitches();
}

QString LocalIPAddress() {
    const QStringList addresses = networkaddresses::localIPv4Addresses();
    return addresses.isEmpty() ? QString() : addresses.last();
}
