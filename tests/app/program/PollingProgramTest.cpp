// The real program against the private Firebird server, with this process playing the
// tablets: their orders must reach the main database, the kitchen monitor and the kitchen
// ports, and their bill request must be answered.
#include "app/text/TextConventions.h"
#include "platform/Windows1252.h"
#include "tests/support/ProgramUnderTest.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using testsupport::readFile;

class PollingProgram : public ::testing::Test, public testsupport::ProgramUnderTest {
protected:
    void SetUp() override {
        CUVORA_REQUIRE_FB_SERVER();
        writeQibClientServ(server());
        // Kitchen 1 and 3 and the bill go to files, kitchen 2 to the monitor.
        writeDozEdiz(
            {.destinations = {"Informar Porta", "Informar Porta", "Monitor Cozinha",
                              "Informar Porta", "Nao Imprimir"},
             .feedLines = "1",
             .feedLinesAgain = "1",
             .groupItems = "N",
             .fontSize = "9",
             .ports = {portFile("conta.txt"), portFile("cozinha1.txt"), portFile("cozinha2.txt"),
                       portFile("cozinha3.txt"), portFile("cozinha4.txt")}});
        // A Brazilian restaurant: decimal commas on tickets and bills.
        environment().insert("LC_ALL", "pt_BR.UTF-8");
    }

    void tabletItem(int id, const char* imp, const QString& nomep, const QString& texto,
                    const char* quant = "2", const char* valor = "10") {
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant, Valor, Texto) values (%1, '000012', '%2', '9', '3', "
                                 "'P%1', %3, %4, %5, %6)")
                      .arg(QString::number(id), QString::fromLatin1(imp), quotedSql(nomep),
                           QString::fromLatin1(quant), QString::fromLatin1(valor),
                           quotedSql(texto)));
    }
};

// The table as the point-of-sale system opens it and the tablets type it: the bill compares
// its request's Mesa with CabMesa's and with the moved items' mesa as stored, and the moved
// items keep the tablets' text, the table number the cycle derives from CabMesa's. Only a
// text that is its own table number ("000012", not "12") finds both.
TEST_F(PollingProgram, MovesTheTabletsOrdersAndAnswersTheirBillRequest) {
    onMain("insert into CabMesa (mesa, vendedor, Hora, STATUS) values ('000012', '3', '20:15', "
           "'0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    // The point-of-sale system's bill settings: a service charge of 10 %, a cover of 5,00.
    writeSetupIni({.serviceLabel = "Servico 10%",
                   .service = "10",
                   .coverPerPerson = "5",
                   .firstFooter = "Volte sempre",
                   .coverLabel = "Couvert"});
    ASSERT_NO_FATAL_FAILURE(startProgram());

    // The tablets: extras before their item, the bill request last.
    onTablets("insert into complemento (idmesa, complemento) values (1, 'borda recheada')");
    tabletItem(1, "1", QString::fromUtf8("calabresa##mussarela##"),
               QString::fromUtf8("sem cebola"));
    tabletItem(2, "2", QString::fromUtf8("Pão d'água"), QString::fromUtf8("bem passado"), "3",
               "3.5");
    tabletItem(3, "3", QString::fromUtf8("Suco de maçã"), QStringLiteral("** Sem complemento **"),
               "2", "8.75");
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (9, '000012', '7', 2)");

    // The first cycle runs about seven seconds after start-up.
    const bool done = waitFor(
        [this] {
            return tablets("select count(*) as n from mesa", {"n"}) == Rows{{"0"}} &&
                   main("select STATUS from CabMesa", {"STATUS"}) == Rows{{"1"}};
        },
        40);
    ASSERT_TRUE(done);
    ASSERT_EQ(program().state(), QProcess::Running);

    EXPECT_EQ(
        main("select id, idmesa, codigo, quant, mesa, texto, impressora, nomep, vend from "
             "mesa order by codigo",
             {"id", "idmesa", "codigo", "quant", "mesa", "texto", "impressora", "nomep", "vend"})
            .size(),
        3);
    EXPECT_EQ(main("select codigo, impressora, nomep, texto from mesa order by codigo",
                   {"codigo", "impressora", "nomep", "texto"}),
              (Rows{{"P1", "1", "calabresa##mussarela##", "sem cebola"},
                    {"P2", "2", QString::fromUtf8("Pão d'água"), "bem passado"},
                    {"P3", "3", QString::fromUtf8("Suco de maçã"), "** Sem complemento **"}}));
    // Kitchen 2 is the monitor: one row, whose idmesa is the item's id in the main database.
    EXPECT_EQ(main("select c.mesa, c.garcom, c.caixa, c.produto, c.compl from cozinha2 c join "
                   "mesa m on m.id = c.idmesa",
                   {"mesa", "garcom", "caixa", "produto", "compl"}),
              (Rows{{"000012", "3", "0", QString::fromUtf8("Pão d'água"), "bem passado"}}));
    EXPECT_EQ(tablets("select count(*) as n from complemento", {"n"}), (Rows{{"1"}}));
    // Three tickets took 1, 2 and 3.
    EXPECT_EQ(readFile(dataFile("pedido.INI")), "4\r\n");

    // The tickets and the bill as they reached their port files.
    const QByteArray kitchen1 = readFile(portFile("cozinha1.txt"));
    const QList<QByteArray> lines = kitchen1.split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "PEDIDO       :1\r");
    EXPECT_EQ(lines[1], "COMANDA/MESA.:000012\r");
    EXPECT_EQ(lines[2], "Garcom :Ana\r");
    QByteArray rest;
    for (qsizetype i = 4; i < lines.size(); ++i)
        rest += lines[i] + (i + 1 < lines.size() ? "\n" : "");
    EXPECT_EQ(rest, "============================\r\n\r\n1/2 CALABRESA\r\n1/2 MUSSARELA\r\n"
                    "QTD: 2     COD:P1\r\n   borda recheada\r\nsem cebola\r\n"
                    "- - - - - - - - - - - - - - - - - - -\r\n\r\n.\r\n.\r\n");
    const QByteArray kitchen3 = readFile(portFile("cozinha3.txt"));
    EXPECT_TRUE(kitchen3.startsWith("PEDIDO       :3\r\n")) << kitchen3.constData();
    EXPECT_TRUE(kitchen3.contains("SUCO DE MA\xE7\xE3\r\n")) << kitchen3.constData();
    EXPECT_FALSE(QFile::exists(portFile("cozinha2.txt")));
    // The bill on the bill printer's port: every moved item of the table at its price, the
    // charges of setup.INI, the share of two people. Only the closing time varies.
    QStringList bill =
        windows1252::decode(readFile(portFile("conta.txt"))).split(QStringLiteral("\r\n"));
    ASSERT_GE(bill.size(), 10);
    EXPECT_TRUE(bill[9].startsWith("Fechamento:")) << bill[9].toStdString();
    bill[9] = QStringLiteral("Fechamento:");
    const QString rule(37, u'-');
    const QString doubleRule(37, u'=');
    QStringList expected{QStringLiteral("    SIMPLES CONFERENCIA DA CONTA"),
                         QStringLiteral("        RELATORIO GERENCIAL"),
                         QStringLiteral("******* Documento nao fiscal ********"),
                         QStringLiteral("           Seja Bem Vindo"),
                         QString(18, u' '),
                         rule,
                         QStringLiteral("Com/Mesa: 000012"),
                         QStringLiteral("Garcon....:Ana"),
                         QStringLiteral("Abertura  :20:15"),
                         QStringLiteral("Fechamento:"),
                         doubleRule,
                         QStringLiteral("DESCRICAO          QTD  VALOR  TOTAL"),
                         doubleRule,
                         QStringLiteral("calabresa##mussare  2  10,00   20,00"),
                         QString::fromUtf8("Pão d'água          3   3,50   10,50"),
                         QString::fromUtf8("Suco de maçã        2   8,75   17,50"),
                         doubleRule,
                         QStringLiteral("Total                          48,00"),
                         QStringLiteral("Servico 10%                     4,80"),
                         QStringLiteral("Couvert                        10,00"),
                         QStringLiteral("                       -------------"),
                         QStringLiteral("Total                          62,80"),
                         QString(),
                         QString(),
                         QStringLiteral("Desp p/Pessoas [2]             31,40"),
                         rule,
                         QStringLiteral("Volte sempre"),
                         rule};
    for (int i = 0; i < 8; ++i)
        expected.append(QString());
    expected.append(QString()); // after the last line end
    EXPECT_EQ(bill, expected);
    EXPECT_EQ(main("select STATUS from CabMesa", {"STATUS"}), Rows{{"1"}});

    // Polling goes on: a later order moves too.
    tabletItem(4, "1", QStringLiteral("agua"), QString());
    EXPECT_TRUE(waitFor(
        [this] { return tablets("select count(*) as n from mesa", {"n"}) == Rows{{"0"}}; }, 20));
    EXPECT_EQ(readFile(dataFile("pedido.INI")), "5\r\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
