#include "app/cycle/PollingCycle.h"

#include "app/core/FlagSetSNWide.h"
#include "app/text/TextConventions.h"

#include <exception>

namespace {

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

} // namespace

void PollingCycle::prepareDatabases() {
    openEstablishment();
    createMissingTables();
    addMissingColumns();
    tellTabletsTheLargerFlag();
}

// The establishment's row stays open for the whole run.
void PollingCycle::openEstablishment() {
    Empresa.open({QStringLiteral("select * from empresa")});
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));
}

// Missing tables of the tablets' database, each on its own.
void PollingCycle::createMissingTables() {
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

void PollingCycle::addMissingColumns() {
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("FECHAR"), QStringLiteral("ABRIR"))))
        erro.execute({QStringLiteral("ALTER TABLE FECHAR  ADD ABRIR VARCHAR(1);")});
    if (!catalogueHasRow(Atualiza,
                         catalogueLookUp(QStringLiteral("MESA"), QStringLiteral("IMPRESSORA"))))
        Atualiza3.execute({QStringLiteral("ALTER TABLE MESA   ADD IMPRESSORA VARCHAR(1);")});
    if (!catalogueHasRow(erro2, catalogueLookUp(QStringLiteral("CONFIG"), QStringLiteral("MAIOR"))))
        erro.execute({QStringLiteral("ALTER TABLE CONFIG  ADD MAIOR VARCHAR(1);")});
}

// The tablets learn whether flag 64 is set.
void PollingCycle::tellTabletsTheLargerFlag() {
    const bool larger = FlagSetSNWide(SCC4, 64) == QLatin1String("S");
    erro.execute({QStringLiteral("UPDATE CONFIG SET MAIOR = ") +
                  (larger ? QStringLiteral("'S'") : QStringLiteral("'N'"))});
    Atualiza.close();
}

void PollingCycle::readEstablishmentFlags() {
    Empresa.open();
    SCC5 = flagWord(Empresa, QStringLiteral("SCC5"));
    SCC4 = flagWord(Empresa, QStringLiteral("SCC4"));
}
