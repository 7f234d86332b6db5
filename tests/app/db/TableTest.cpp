#include "app/db/Table.h"

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace {

using db::Connection;
using db::DatabaseError;
using db::Table;
using testsupport::executeSql;
using testsupport::selectRows;
using testsupport::TestDatabases;

class TableTest : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        FirebirdTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        m_tablets.setDatabase(tablets());
        m_tablets.connect();
        m_tablets.run("CREATE TABLE FECHAR (\nFECHAR VARCHAR(1)\n)");
        m_tablets.run("ALTER TABLE FECHAR  ADD ABRIR VARCHAR(1);");
    }
    QString tablets() const { return m_dbs.tabletsText(access()); }
    QList<QStringList> stored() const {
        return selectRows(tablets(), "select * from FECHAR", {"FECHAR", "ABRIR"});
    }
    // One switch stored as the program stores it.
    void store(Table& table, const QString& column, const QString& value) {
        table.open();
        table.edit();
        table.setValue(column, value);
        table.post();
        table.applyUpdates();
        table.commitUpdates();
        table.close();
    }

    TestDatabases m_dbs;
    Connection m_tablets;
};

TEST_P(TableTest, AnEmptyTableGetsItsRowOnTheFirstPost) {
    Table fechar(m_tablets, "FECHAR", {"FECHAR", "ABRIR"});
    fechar.open();
    EXPECT_TRUE(fechar.isEmpty());
    EXPECT_EQ(fechar.field("FECHAR").asText(), QString());
    fechar.close();

    store(fechar, "Fechar", "S");
    EXPECT_EQ(stored(), (QList<QStringList>{{"S", ""}}));
    store(fechar, "abrir", "N");
    EXPECT_EQ(stored(), (QList<QStringList>{{"S", "N"}}));
}

TEST_P(TableTest, EditChangesTheFirstRowOnly) {
    executeSql(tablets(), "insert into FECHAR (FECHAR, ABRIR) values ('N', 'N')");
    Table fechar(m_tablets, "FECHAR", {"FECHAR", "ABRIR"});
    fechar.open();
    EXPECT_EQ(fechar.field("fechar").asText(), "N");
    fechar.edit();
    fechar.setValue("FECHAR", "S");
    EXPECT_EQ(fechar.field("FECHAR").asText(), "S");
    fechar.post();
    EXPECT_EQ(fechar.field("FECHAR").asText(), "S");
    EXPECT_EQ(stored(), (QList<QStringList>{{"S", "N"}}));

    Table promocao(m_tablets, "PROMOCAO", {"PROMOCAO"});
    m_tablets.run("CREATE TABLE PROMOCAO (\nPROMOCAO  VARCHAR(1)\n)");
    store(promocao, "promocao", "N");
    store(promocao, "PROMOCAO", "S");
    EXPECT_EQ(selectRows(tablets(), "select * from PROMOCAO", {"PROMOCAO"}),
              (QList<QStringList>{{"S"}}));
}

TEST_P(TableTest, OpeningFailsWhenANamedColumnIsMissing) {
    m_tablets.run("CREATE TABLE PROMOCAO (\nPROMOCAO  VARCHAR(1)\n)");
    Table table(m_tablets, "PROMOCAO", {"PROMOCAO", "ABRIR"});
    try {
        table.open();
        FAIL() << "opened";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("ABRIR")) << error.what();
    }
    EXPECT_FALSE(table.isOpen());
    Table missing(m_tablets, "CONFIG", {"MAIOR"});
    EXPECT_THROW(missing.open(), DatabaseError);
}

TEST_P(TableTest, SettingIsOnlyForNamedFieldsWhileEditing) {
    Table fechar(m_tablets, "FECHAR", {"FECHAR", "ABRIR"});
    fechar.open();
    EXPECT_THROW(fechar.setValue("FECHAR", "S"), DatabaseError); // not editing
    fechar.edit();
    EXPECT_THROW(fechar.setValue("PROMOCAO", "S"), DatabaseError);
    EXPECT_THROW(fechar.setValue("DB_KEY", "S"), DatabaseError);
    EXPECT_THROW(fechar.field("nada"), DatabaseError);
    fechar.setValue("FECHAR", "'");
    fechar.post();
    EXPECT_EQ(stored(), (QList<QStringList>{{"'", ""}}));
}

INSTANTIATE_TEST_SUITE_P(Firebird, TableTest, testsupport::allAccesses(), testsupport::accessName);

} // namespace
