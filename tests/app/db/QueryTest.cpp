#include "app/db/Query.h"

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"
#include "platform/RegionalSettings.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace {

using db::Connection;
using db::DatabaseError;
using db::Query;
using testsupport::executeSql;
using testsupport::selectRows;
using testsupport::TestDatabases;

class QueryTest : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        FirebirdTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        m_main.setDatabase(m_dbs.mainText(access()));
        m_main.connect();
    }
    // close, clear the text, add the lines: as the program uses every query.
    void prepare(std::initializer_list<QString> lines) {
        m_query.close();
        m_query.clearText();
        for (const QString& line : lines)
            m_query.addLine(line);
    }
    void exec(const QString& statement) {
        prepare({statement});
        m_query.execute();
    }

    TestDatabases m_dbs;
    Connection m_main;
    Query m_query{m_main};
};

TEST_P(QueryTest, WalksRowsFromTheFirst) {
    exec("insert into vendedor (codigo, Nome) select '1', 'Ana' from rdb$database union all "
         "select '2', 'Bia' from rdb$database");
    prepare({"select * from vendedor order by codigo"});
    m_query.open();
    QStringList names;
    for (; !m_query.eof(); m_query.next())
        names.append(m_query.field("nome").asText());
    EXPECT_EQ(names, (QStringList{"Ana", "Bia"}));
    m_query.first();
    EXPECT_FALSE(m_query.eof());
    EXPECT_EQ(m_query.field("CODIGO").asText(), "1");

    prepare({"select * from vendedor where codigo = 'x'"});
    m_query.open();
    EXPECT_TRUE(m_query.eof());
    EXPECT_EQ(m_query.field("Nome").asText(), QString()); // no row reads as NULL
}

TEST_P(QueryTest, NullsReadAsEmptyTextOrZero) {
    exec("insert into CabMesa (mesa) values ('12')");
    prepare({"select * from CabMesa "});
    m_query.open();
    for (const char* text : {"STATUS", "vendedor", "Hora"})
        EXPECT_EQ(m_query.field(text).asText(), QString()) << text;
    for (const char* number : {"Delivery", "Valor"}) {
        EXPECT_EQ(m_query.field(number).asFloat(), 0.0) << number;
        EXPECT_EQ(m_query.field(number).asInteger(), 0) << number;
        EXPECT_EQ(m_query.field(number).asText(), QString()) << number;
    }
}

TEST_P(QueryTest, UnknownColumnRaises) {
    prepare({"select * from CabMesa"});
    m_query.open();
    try {
        m_query.field("mesas");
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("mesas")) << error.what();
    }
    m_query.close();
    EXPECT_THROW(m_query.field("mesa"), DatabaseError);
}

TEST_P(QueryTest, AStatementOfSeveralLinesIsItsLinesJoined) {
    prepare({"Insert Into cozinha2 (id,idmesa,hora,mesa,garcom,caixa,produto,quant,compl) values(",
             "GEN_ID(COZINHA2,1),", "'7',", "'10/12/2024 12:00:00',", "'000012',", "'3',", "'0',",
             "'Pão de queijo',", "'1.500',", "'sem sal')"});
    EXPECT_TRUE(m_query.text().startsWith("Insert Into cozinha2 (id,idmesa,hora,mesa,garcom,caixa,"
                                          "produto,quant,compl) values(\nGEN_ID(COZINHA2,1),\n"));
    m_query.execute();
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(selectRows(m_dbs.mainText(access()), "select * from cozinha2",
                         {"id", "idmesa", "mesa", "produto", "quant", "compl"}),
              (QList<QStringList>{{"1", "7", "000012", "Pão de queijo", "1.5", "sem sal"}}));
}

TEST_P(QueryTest, GeneratorReadsAsInteger) {
    for (qint64 expected : {1, 2, 3}) {
        prepare({"SELECT GEN_ID(MESA,1) AS teste FROM GeraID "});
        m_query.open();
        EXPECT_EQ(m_query.field("teste").asInteger(), expected);
    }
    // Past 32 bits too: GEN_ID is a 64-bit integer.
    exec("SET GENERATOR MESA TO 4294967296");
    prepare({"SELECT GEN_ID(MESA,1) AS teste FROM GeraID "});
    m_query.open();
    EXPECT_EQ(m_query.field("TESTE").asInteger(), 4294967297LL);
    EXPECT_EQ(m_query.field("teste").asText(), "4294967297");
}

TEST_P(QueryTest, AccentedTextSurvivesInAColumnJustLongEnough) {
    exec("create table acento (a VARCHAR(3), b VARCHAR(6), c VARCHAR(4), d VARCHAR(1))");
    exec("insert into acento (a, b, c, d) values ('Pão', 'Feijão', 'Ação', '€')");
    prepare({"select a, b, c, d, octet_length(b) as bytes from acento"});
    m_query.open();
    EXPECT_EQ(m_query.field("a").asText(), "Pão");
    EXPECT_EQ(m_query.field("b").asText(), "Feijão");
    EXPECT_EQ(m_query.field("c").asText(), "Ação");
    EXPECT_EQ(m_query.field("d").asText(), "€");
    EXPECT_EQ(m_query.field("bytes").asInteger(), 6); // one byte a letter: Windows-1252
    // Comparisons in SQL see the same letters.
    prepare({"select count(*) as n from acento where b = 'Feijão'"});
    m_query.open();
    EXPECT_EQ(m_query.field("n").asInteger(), 1);
}

TEST_P(QueryTest, AnApostropheInsideAQuotedValueCannotEndIt) {
    const QString value = "x'); delete from vendedor; --";
    exec("insert into vendedor (codigo, Nome) values ('1', 'Ana')");
    QString quoted = value;
    quoted.replace("'", "''");
    exec("insert into vendedor (codigo, Nome) values ('2', '" + quoted + "')");
    EXPECT_EQ(
        selectRows(m_dbs.mainText(access()), "select * from vendedor order by codigo", {"Nome"}),
        (QList<QStringList>{{"Ana"}, {value}}));
}

TEST_P(QueryTest, NumberColumnsReadAsTextUnderEitherSeparator) {
    exec("insert into CabMesa (mesa, Delivery, Valor) values ('1', 2.5, 3)");
    exec("create table numeros (n NUMERIC(15,2), f FLOAT, i INTEGER, s SMALLINT)");
    exec("insert into numeros values (12.50, 0.5, -7, 3)");
    struct Case {
        RegionalSettings settings;
        const char* delivery;
        const char* numeric;
        const char* floating;
    };
    const Case cases[] = {{RegionalSettings::comma(), "2,5", "12,5", "0,5"},
                          {RegionalSettings::point(), "2.5", "12.5", "0.5"}};
    for (const Case& c : cases) {
        const ScopedRegionalSettings settings(c.settings);
        prepare({"select * from CabMesa"});
        m_query.open();
        EXPECT_EQ(m_query.field("Delivery").asText(), c.delivery);
        EXPECT_EQ(m_query.field("Valor").asText(), "3");
        prepare({"select * from numeros"});
        m_query.open();
        EXPECT_EQ(m_query.field("n").asText(), c.numeric);
        EXPECT_EQ(m_query.field("n").asFloat(), 12.5);
        EXPECT_EQ(m_query.field("f").asText(), c.floating);
        EXPECT_EQ(m_query.field("i").asText(), "-7");
        EXPECT_EQ(m_query.field("s").asInteger(), 3);
    }
}

TEST_P(QueryTest, TextThatIsNotAWholeNumberRaisesWhenReadAsInteger) {
    exec("insert into vendedor (codigo, Nome) values ('12', 'A1')");
    prepare({"select * from vendedor"});
    m_query.open();
    EXPECT_EQ(m_query.field("codigo").asInteger(), 12);
    EXPECT_THROW(m_query.field("Nome").asInteger(), DatabaseError);
}

TEST_P(QueryTest, AnOpenQueryKeepsWhatItFetched) {
    exec("insert into empresa (SCC4, SCC5) values (64, 2048)");
    prepare({"select * from empresa"});
    m_query.open();
    executeSql(m_dbs.mainText(access()), "update empresa set SCC5 = 0");
    m_query.open(); // open already: not fetched anew
    EXPECT_EQ(m_query.field("SCC5").asInteger(), 2048);
    m_query.open({"select * from empresa"}); // the whole sequence closes first
    EXPECT_EQ(m_query.field("SCC5").asInteger(), 0);
    m_query.execute({"update empresa set SCC5 = 5"});
    EXPECT_FALSE(m_query.isOpen());
    m_query.open({"select SCC5 from empresa"});
    EXPECT_EQ(m_query.field("SCC5").asInteger(), 5);
}

TEST_P(QueryTest, OpenNeedsRowsAndExecuteTakesAnyStatement) {
    prepare({"update CabMesa set STATUS = '1'"});
    EXPECT_THROW(m_query.open(), DatabaseError);
    EXPECT_FALSE(m_query.isOpen());
    prepare({"select * from CabMesa"});
    EXPECT_NO_THROW(m_query.execute());
}

TEST_P(QueryTest, CatalogueLookUpsReadEvenBlobColumns) {
    prepare({"select * from rdb$relation_fields  where RDB$RELATION_FIELDS.rdb$relation_name = "
             "'MESA'",
             " AND  RDB$RELATION_FIELDS.RDB$FIELD_NAME = 'CODIGO'"});
    m_query.open();
    ASSERT_FALSE(m_query.eof());
    EXPECT_EQ(m_query.field("RDB$FIELD_NAME").asText().trimmed(), "CODIGO");
    EXPECT_EQ(m_query.field("RDB$DESCRIPTION").asText(), QString());
}

INSTANTIATE_TEST_SUITE_P(Firebird, QueryTest, testsupport::allAccesses(), testsupport::accessName);

} // namespace
