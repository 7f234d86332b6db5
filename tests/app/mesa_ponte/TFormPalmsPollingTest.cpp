#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/DozEdizSettings.h"
#include "app/core/ProgramClock.h"
#include "app/core/ProgramLog.h"
#include "app/text/TextConventions.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/RegionalSettings.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

using testsupport::Access;
using testsupport::TestDatabases;
using Kind = TFormPalms::ReportKind;
using Rows = QList<QStringList>;

struct Sent {
    QString destination;
    QString port;
    Kind kind;
    QStringList lines;
    int fontSize;
};

const QDateTime kNow(QDate(2024, 3, 9), QTime(18, 5, 7));
const QString kDate = QStringLiteral("09/03/2024 - 18:05:07");
const QString kRule = QStringLiteral("- - - - - - - - - - - - - - - - - - -");

struct Item {
    int id;
    QString mesa = QStringLiteral("000012");
    QString imp = QStringLiteral("1");
    QString vend = QStringLiteral("3");
    QString nomep = QStringLiteral("coca cola");
    QString quant = QStringLiteral("1");
    QString texto = QStringLiteral("** Sem complemento **");
    QString codigo = QStringLiteral("P1");
    QString valor = QStringLiteral("4.5");
    QString cozinha = QStringLiteral("9");
};

// Both databases, a data folder, recorded messages and sends; the window is made by start().
class PollingFixture : public windowtest::WindowFixture {
public:
    explicit PollingFixture(Access access)
        : WindowFixture({.access = access,
                         .installedPrinters = printers::InstalledPrinters{{"PDF"}, "PDF"},
                         .localAddresses = QStringList{"10.0.0.2"}}) {}
    ~PollingFixture() { stop(); }

    TFormPalms& start() {
        TFormPalms& window = replaceForm();
        window.reportSink = [this](const QString& destination, const QString& port, Kind kind,
                                   const QStringList& lines) {
            sent.push_back({destination, port, kind, lines, form().impvalto->font().pointSize()});
            if (failSend && failSend(sent.back()))
                throw std::runtime_error("printer out of paper");
        };
        // Where each ticket goes; printer boxes as the operator left them.
        window.ComboBox1->setEditText(QStringLiteral("Caixa"));
        window.ComboBox2->setEditText(QStringLiteral("Cozinha"));
        window.ComboBox3->setEditText(QStringLiteral("Bar"));
        window.ComboBox4->setEditText(QStringLiteral("Pizzaria"));
        window.ComboBox5->setEditText(QStringLiteral("Copa"));
        QLineEdit* ports[] = {window.Edit29, window.Edit30, window.Edit31, window.Edit32,
                              window.Edit33};
        for (int i = 0; i < 5; ++i)
            ports[i]->setText(QStringLiteral("porta%1").arg(i));
        return window;
    }

    // One cycle as Timer2 runs it, its errors shown by the handler guard.
    void cycle() {
        handlerguard::run([this] { form().Timer2Timer(); });
    }

    QString log() const { return QString::fromUtf8(dataFile("interface-cuvora.log")); }
    QByteArray dataFile(const char* name) const {
        QFile file(dataPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void onMain(const QString& statement) { testsupport::executeSql(mainDatabase(), statement); }
    Rows main(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(mainDatabase(), select, columns);
    }
    Rows tablets(const QString& select, const QStringList& columns) {
        return tabletRows(select, columns);
    }

    void table(const QString& mesa, const QString& vendedor = QStringLiteral("3")) {
        onMain("insert into CabMesa (mesa, vendedor, STATUS) values (" + quotedSql(mesa) + ", " +
               quotedSql(vendedor) + ", '0')");
    }
    void waiter(const QString& codigo, const QString& nome) {
        onMain("insert into vendedor (codigo, Nome) values (" + quotedSql(codigo) + ", " +
               quotedSql(nome) + ")");
    }
    void item(const Item& i) {
        const auto orNull = [](const QString& text) {
            return text.isNull() ? QStringLiteral("NULL") : quotedSql(text);
        };
        onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, "
                  "Texto) values (" +
                  QString::number(i.id) + ", " + orNull(i.mesa) + ", " + orNull(i.imp) + ", " +
                  orNull(i.cozinha) + ", " + orNull(i.vend) + ", " + orNull(i.codigo) + ", " +
                  orNull(i.nomep) + ", " + (i.quant.isNull() ? "NULL" : i.quant) + ", " +
                  (i.valor.isNull() ? "NULL" : i.valor) + ", " + orNull(i.texto) + ")");
    }
    void extra(int idmesa, const QString& text) {
        onTablets("insert into complemento (idmesa, complemento) values (" +
                  QString::number(idmesa) + ", " + quotedSql(text) + ")");
    }
    Rows tabletItems() { return tablets("select id, mesa from mesa order by id", {"id", "mesa"}); }
    Rows mainItems() {
        return main("select id, idmesa, codigo, valor, quant, mesa, texto, impressora, nomep, "
                    "vend from mesa order by id",
                    {"id", "idmesa", "codigo", "valor", "quant", "mesa", "texto", "impressora",
                     "nomep", "vend"});
    }
    Rows monitorRows() {
        return main("select idmesa, hora, mesa, garcom, caixa, produto, quant, compl from "
                    "cozinha2 order by id",
                    {"idmesa", "hora", "mesa", "garcom", "caixa", "produto", "quant", "compl"});
    }

    std::vector<Sent> sent;
    std::function<bool(const Sent&)> failSend;

private:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
    programclock::ScopedClock m_clock{[] { return kNow; }};
};

QStringList header(const QString& order, const QString& table, const QString& waiter) {
    return {"PEDIDO       :" + order, "COMANDA/MESA.:" + table, "Garcom :" + waiter, kDate,
            "============================"};
}

// --- The whole road of a batch, embedded and through the server ---------------------------

class Polling : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        testsupport::FirebirdTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        f = std::make_unique<PollingFixture>(access());
    }
    void TearDown() override { f.reset(); }
    std::unique_ptr<PollingFixture> f;
};

TEST_P(Polling, MovesABatchFilesItsTicketAndAnswersTheBillRequests) {
    f->table("12");
    f->waiter("3", "Ana");
    f->item({.id = 101,
             .nomep = "calabresa##mussarela##",
             .quant = "1",
             .texto = "sem cebola, bem passada",
             .codigo = "P7",
             .valor = "30"});
    f->extra(101, "borda recheada");
    f->extra(101, "catupiry");
    // A bill request: Quant is the number of people.
    f->item({.id = 900, .mesa = "12", .imp = "0", .nomep = "", .quant = "2", .cozinha = "7"});
    TFormPalms& form = f->start();
    form.Edit22->setText("0");

    f->cycle();
    EXPECT_TRUE(f->recorder.shown().empty());
    EXPECT_TRUE(form.Timer2->isActive());

    ASSERT_EQ(f->sent.size(), 2u);
    const Sent& ticket = f->sent[0];
    EXPECT_EQ(ticket.destination, "Cozinha");
    EXPECT_EQ(ticket.port, "porta1");
    EXPECT_EQ(ticket.kind, Kind::KitchenTicket);
    EXPECT_EQ(ticket.fontSize, 7); // no DozEdiz.INI ever
    const QStringList expected =
        header("1", "000012", "Ana") + QStringList{"",
                                                   "1/2 CALABRESA",
                                                   "1/2 MUSSARELA",
                                                   "QTD: 1     COD:P7",
                                                   "   borda recheada",
                                                   "   catupiry",
                                                   "sem cebola, bem passada",
                                                   kRule,
                                                   "",
                                                   "."};
    EXPECT_EQ(ticket.lines, expected);
    EXPECT_EQ(f->dataFile("pedido.INI"), "2\r\n");

    EXPECT_EQ(f->mainItems(), (Rows{{"1", "1", "P7", "30", "1", "000012", "sem cebola, bem passada",
                                     "1", "calabresa##mussarela##", "3"}}));
    EXPECT_TRUE(f->monitorRows().isEmpty());
    // The item was moved and deleted, the answered request deleted; the extras stay.
    EXPECT_TRUE(f->tabletItems().isEmpty());
    EXPECT_EQ(f->tablets("select count(*) as n from complemento", {"n"}), (Rows{{"2"}}));

    const Sent& bill = f->sent[1];
    EXPECT_EQ(bill.destination, "Caixa");
    EXPECT_EQ(bill.port, "porta0");
    EXPECT_EQ(bill.kind, Kind::Bill);
    EXPECT_EQ(f->main("select mesa, STATUS from CabMesa", {"mesa", "STATUS"}), (Rows{{"12", "1"}}));

    // Nothing left: the next cycle sends nothing and takes no number.
    f->sent.clear();
    f->cycle();
    EXPECT_TRUE(f->sent.empty());
    EXPECT_EQ(f->dataFile("pedido.INI"), "2\r\n");
}

TEST_P(Polling, KitchenMonitorRowsForPrinterFiveOnBothBoxes) {
    f->table("7");
    f->waiter("3", "Ana");
    f->item({.id = 5,
             .mesa = "000007",
             .imp = "5",
             .nomep = "Pão d'água",
             .quant = "2.5",
             .texto = "Sem açúcar, gelo à parte e limão cortado",
             .valor = "3"});
    TFormPalms& form = f->start();
    form.ComboBox2->setEditText(" Monitor Cozinha ");
    form.ComboBox3->setEditText("Monitor Cozinha");
    f->cycle();
    EXPECT_TRUE(f->recorder.shown().empty());

    // Both copies go to the sending step, which sends nothing for the monitor.
    ASSERT_EQ(f->sent.size(), 2u);
    EXPECT_EQ(f->sent[0].destination, " Monitor Cozinha ");
    EXPECT_EQ(f->sent[0].port, "porta1");
    EXPECT_EQ(f->sent[1].destination, "Monitor Cozinha");
    EXPECT_EQ(f->sent[1].port, "porta2");
    EXPECT_EQ(f->sent[1].lines, f->sent[0].lines);

    const QStringList monitorRow = {
        "1", "09/03/2024 18:05:07", "000007", "3",
        "0", "Pão d'água",          "2,5",    "Sem acucar, gelo a parte e l"};
    EXPECT_EQ(f->monitorRows(), (Rows{monitorRow, monitorRow}));
    EXPECT_EQ(f->mainItems(),
              (Rows{{"1", "1", "P1", "3", "2,5", "000007", "Sem açúcar, gelo à parte e limão cor",
                     "5", "Pão d'água", "3"}}));
}

INSTANTIATE_TEST_SUITE_P(Firebird, Polling, testsupport::allAccesses(), testsupport::accessName);

// Printer number 0 is never the monitor's, whatever the kitchen boxes read.
TEST(PollingMonitor, PrinterZeroFilesNoRowWhenBothKitchenBoxesAreTheMonitor) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "0"});
    TFormPalms& form = f.start();
    form.ComboBox2->setEditText("Monitor Cozinha");
    form.ComboBox3->setEditText("Monitor Cozinha");
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(f.monitorRows().isEmpty());
    EXPECT_EQ(f.main("select impressora from mesa", {"impressora"}), (Rows{{"0"}}));
    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].destination, "Nao Imprimir");
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
}

// --- Golden tickets ------------------------------------------------------------------------

struct TicketCase {
    const char* name;
    Item item;
    QStringList extras;
    QString feedField;                   // Edit22
    std::optional<QByteArray> dozEdiz;   // line 13 is the font size
    std::optional<QByteArray> orderFile; // pedido.INI
    QStringList lines;                   // after the header
    QString order;                       // as the header shows it
    QByteArray nextOrder;                // pedido.INI afterwards
    int fontSize;
};

QByteArray settingsWithFontSize(const char* size) {
    DozEdizSettings settings;
    settings.fontSize = QString::fromLatin1(size);
    return settings.toBytes();
}

const QStringList kFiveFeeds = QStringList(5, QStringLiteral("."));
const QString kName27 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1");

class Tickets : public ::testing::TestWithParam<TicketCase> {};

TEST_P(Tickets, AreComposedLineByLine) {
    const TicketCase& c = GetParam();
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item(c.item);
    for (const QString& extra : c.extras)
        f.extra(c.item.id, extra);
    if (c.dozEdiz)
        f.writeDataFile("DozEdiz.INI", *c.dozEdiz);
    if (c.orderFile)
        f.writeDataFile("pedido.INI", *c.orderFile);
    TFormPalms& form = f.start();
    form.ComboBox2->setEditText("Cozinha");
    form.Edit22->setText(c.feedField);
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].lines, header(c.order, "000012", "Ana") + c.lines);
    EXPECT_EQ(f.sent[0].fontSize, c.fontSize);
    EXPECT_EQ(f.dataFile("pedido.INI"), c.nextOrder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tickets,
    ::testing::Values(
        TicketCase{"TwoNameLinesTwoNoteLines",
                   {.id = 1,
                    .nomep = "abcdefghijklmnopqrstuvwxyz1abcdefghijklmnopqrstuvw",
                    .quant = "2.5",
                    .texto = "  0123456789012345678901234567890123   fim",
                    .codigo = "99"},
                   {},
                   "-1",
                   settingsWithFontSize("11"),
                   QByteArray("41\r\n"),
                   {"", kName27, "ABCDEFGHIJKLMNOPQRSTUVW", "QTD: 2,5   COD:99",
                    "  01234567890123456789012345678901", "23   fim", kRule, ""},
                   "41",
                   "42\r\n",
                   11},
        TicketCase{"FiveFractionsNoNoteDefaultFeeds",
                   {.id = 1, .nomep = "a##b##c##d##e##", .texto = "   "},
                   {" com gelo"},
                   "abc",
                   settingsWithFontSize("x"),
                   QByteArray("abc\r\n"),
                   QStringList{"", "1/4 A", "1/4 B", "1/4 C", "1/4 D", "QTD: 1     COD:P1",
                               "    com gelo", kRule, ""} +
                       kFiveFeeds,
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"ApostropheAndCedillaInTheNoteSevenFeeds",
                   {.id = 1, .nomep = "suco d'laranja", .texto = "Não põe açúcar, d'leve"},
                   {},
                   "7",
                   std::nullopt,
                   QByteArray("  8\r\nignored\r\n"),
                   QStringList{"", "SUCO D'LARANJA", "QTD: 1     COD:P1", "Nao poe acucar, d.leve",
                               kRule, ""} +
                       QStringList(8, "."),
                   "  8",
                   "9\r\n",
                   7},
        // No font has a size of 0 or less, no paper needs 5000 feed lines.
        TicketCase{"FontSizeZeroAndTooManyFeeds",
                   {.id = 1, .nomep = "agua"},
                   {},
                   "5000",
                   settingsWithFontSize("0"),
                   std::nullopt,
                   QStringList{"", "AGUA", "QTD: 1     COD:P1", kRule, ""} + QStringList(100, "."),
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"NegativeFontSize",
                   {.id = 1, .nomep = "agua"},
                   {},
                   "-1",
                   settingsWithFontSize("-12"),
                   std::nullopt,
                   {"", "AGUA", "QTD: 1     COD:P1", kRule, ""},
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"NullColumns",
                   {.id = 1,
                    .nomep = QString(),
                    .quant = QString(),
                    .texto = QString(),
                    .codigo = QString(),
                    .valor = QString()},
                   {},
                   "0",
                   std::nullopt,
                   std::nullopt,
                   {"", "", "QTD: 0     COD:", kRule, "", "."},
                   "1",
                   "2\r\n",
                   7}),
    [](const ::testing::TestParamInfo<TicketCase>& info) { return std::string(info.param.name); });

// A counter that holds something other than a number starts again at 1 and says so; an
// empty one is a first start.
TEST(TicketCounter, ACounterThatHoldsNoNumberIsLogged) {
    const struct {
        QByteArray file;
        bool logged;
    } cases[] = {{"abc\r\n", true}, {"9223372036854775807\r\n", true}, {"\r\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.constData());
        PollingFixture f(Access::Embedded);
        f.table("12");
        f.waiter("3", "Ana");
        f.item({.id = 1, .nomep = "agua"});
        f.writeDataFile("pedido.INI", c.file);
        TFormPalms& form = f.start();
        form.ComboBox2->setEditText("Cozinha");
        f.cycle();
        ASSERT_EQ(f.sent.size(), 1u);
        EXPECT_EQ(f.sent[0].lines.value(0), header("1", "000012", "Ana").value(0));
        EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
        const QString entry = QStringLiteral("pedido.INI não contém um número de pedido que o "
                                             "programa possa usar (continha '%1'): os pedidos "
                                             "recomeçam em 1.")
                                  .arg(QString::fromLatin1(c.file.trimmed()));
        EXPECT_EQ(f.log().contains(entry), c.logged) << f.log().toStdString();
    }
}

TEST(TicketFont, KeepsTheSettingsLastReadWhenTheFileGoes) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.writeDataFile("DozEdiz.INI", settingsWithFontSize("12"));
    TFormPalms& form = f.start();
    f.removeDataFile("DozEdiz.INI");
    f.item({.id = 1});
    f.cycle();
    f.writeDataFile("DozEdiz.INI", settingsWithFontSize("10"));
    f.item({.id = 2});
    f.cycle();
    f.removeDataFile("DozEdiz.INI");
    f.item({.id = 3});
    f.cycle();
    ASSERT_EQ(f.sent.size(), 3u);
    EXPECT_EQ(f.sent[0].fontSize, 12);
    EXPECT_EQ(f.sent[1].fontSize, 10);
    EXPECT_EQ(f.sent[2].fontSize, 10);
    EXPECT_TRUE(form.Timer2->isActive());
}

// --- Order and matching --------------------------------------------------------------------

TEST(PollingOrder, TablesThenWaitersThenPrinterNumbers) {
    PollingFixture f(Access::Embedded);
    f.table("2");
    f.table("A1");
    f.table(" 2"); // the same T again: its item select finds nothing left
    f.waiter("8", "Bia");
    f.waiter("3", "Ana");
    f.item({.id = 1, .mesa = "000002", .imp = "4", .vend = "3"});
    f.item({.id = 2, .mesa = "000002", .imp = "2", .vend = "3"});
    f.item({.id = 3, .mesa = "000002", .imp = "3", .vend = "8"});
    f.item({.id = 4, .mesa = "A1", .imp = "1", .vend = "8"});
    f.item({.id = 5, .mesa = "A1", .imp = "0", .vend = "3"});
    // Never moved: no such table, no such waiter, no such printer number, not a new item.
    f.item({.id = 10, .mesa = "000099", .imp = "1", .vend = "3"});
    f.item({.id = 11, .mesa = "000002", .imp = "1", .vend = "5"});
    f.item({.id = 12, .mesa = "000002", .imp = "6", .vend = "3"});
    f.item({.id = 13, .mesa = "000002", .imp = "1", .vend = "3", .cozinha = "8"});
    f.item({.id = 14, .mesa = "2", .imp = "1", .vend = "3"});
    f.start();
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());

    QStringList order;
    for (const Sent& sent : f.sent)
        order.append(sent.destination + u'|' + sent.lines.at(1) + u'|' + sent.lines.at(2) + u'|' +
                     sent.lines.at(0));
    EXPECT_EQ(order, (QStringList{"Pizzaria|COMANDA/MESA.:000002|Garcom :Bia|PEDIDO       :1",
                                  "Bar|COMANDA/MESA.:000002|Garcom :Ana|PEDIDO       :2",
                                  "Copa|COMANDA/MESA.:000002|Garcom :Ana|PEDIDO       :3",
                                  "Cozinha|COMANDA/MESA.:A1|Garcom :Bia|PEDIDO       :4",
                                  "Nao Imprimir|COMANDA/MESA.:A1|Garcom :Ana|PEDIDO       :5"}));
    EXPECT_EQ(f.dataFile("pedido.INI"), "6\r\n");
    EXPECT_EQ(
        f.tabletItems(),
        (Rows{
            {"10", "000099"}, {"11", "000002"}, {"12", "000002"}, {"13", "000002"}, {"14", "2"}}));
    // Printer number 0 moves with impressora '0' and files no monitor row.
    EXPECT_EQ(f.main("select impressora from mesa where mesa = 'A1' order by id", {"impressora"}),
              (Rows{{"1"}, {"0"}}));
    EXPECT_TRUE(f.monitorRows().isEmpty());
}

// --- Failures ------------------------------------------------------------------------------

TEST(PollingFailure, AFailingKitchenPrinterIsIgnoredCopyByCopy) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "5"});
    f.item({.id = 2, .imp = "2"});
    TFormPalms& form = f.start();
    f.failSend = [](const Sent& sent) { return sent.port == "porta1"; };
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(form.Timer2->isActive());
    QStringList sent;
    for (const Sent& s : f.sent)
        sent.append(s.destination + u'|' + s.port + u'|' + s.lines.at(0));
    EXPECT_EQ(sent, (QStringList{"Bar|porta2|PEDIDO       :1", "Cozinha|porta1|PEDIDO       :2",
                                 "Bar|porta2|PEDIDO       :2"}));
    EXPECT_TRUE(f.tabletItems().isEmpty());
    EXPECT_EQ(f.mainItems().size(), 2);

    // The lost first copy is in the log whole, feed lines included, to be printed again.
    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    const QString ticket = f.sent[1].lines.join(u'\n');
    EXPECT_TRUE(log.contains(QStringLiteral("Pedido da cozinha não impresso (impressora 5, destino "
                                            "'Cozinha', porta 'porta1'): printer out of paper\n"
                                            "--- pedido ---\n") +
                             ticket + QStringLiteral("\n--- fim do pedido ---\n")))
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("--- pedido ---")), 1);
}

// A pass that fails midway, on its first item or later: its statements fail in the main
// database (an id from the generator is taken there) or on the tablet (a trigger refuses a
// flag). The next start, once the fault is mended, finishes the pass: the items whose main
// row was written are flagged and their ticket is sent, the others move as new items, and
// each item reaches the main database and a ticket once.
struct MidwayFailure {
    const char* name;
    int items;
    const char* onMain;
    QStringList onTablets;
    const char* mendMain;
    const char* mendTablets;
    int movedBeforeTheError; // as the log counts them: main row written and flagged
    int firstTicket;         // the first ticket's number: 2 when the first pass sends none
};

void PrintTo(const MidwayFailure& failure, std::ostream* out) {
    *out << failure.name;
}

// Table 12 and waiter Ana, one item for kitchen 1 per name (codes F1, F2, ...), the
// failure's statements, and one cycle.
void runFailingPass(PollingFixture& f, const QStringList& names, const MidwayFailure& failure) {
    f.table("12");
    f.waiter("3", "Ana");
    for (int id = 1; id <= names.size(); ++id)
        f.item(
            {.id = id, .nomep = names[id - 1].toLower(), .codigo = QStringLiteral("F%1").arg(id)});
    if (*failure.onMain)
        f.onMain(QString::fromLatin1(failure.onMain));
    for (const QString& statement : failure.onTablets)
        f.onTablets(statement);
    f.start();
    f.cycle();
}

// The item names of a ticket's lines.
QStringList namesOn(const QStringList& ticket, const QStringList& names) {
    QStringList found;
    for (const QString& line : ticket)
        if (names.contains(line))
            found.append(line);
    return found;
}

class PollingMidwayFailure : public ::testing::TestWithParam<MidwayFailure> {};

TEST_P(PollingMidwayFailure, IsFinishedAtTheNextStartEachItemOnce) {
    const MidwayFailure& failure = GetParam();
    PollingFixture f(Access::Embedded);
    const QStringList names = QStringList{"FEIJOADA", "FAROFA", "COUVE"}.mid(0, failure.items);
    runFailingPass(f, names, failure);
    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(f.sent.empty());
    const QString error = f.recorder.standardErrors()[0].text;
    const QString entry = QStringLiteral("Passagem interrompida (pedido 1, mesa '000012', "
                                         "impressora 1, %1 de %2 item(ns) gravados): ")
                              .arg(failure.movedBeforeTheError)
                              .arg(failure.items);
    const qsizetype at = f.log().indexOf(entry);
    ASSERT_GE(at, 0) << f.log().toStdString();
    EXPECT_TRUE(
        f.log().mid(at, f.log().indexOf(u'\n', at) - at).contains(programlog::clause(error)))
        << f.log().toStdString();

    if (*failure.mendMain)
        f.onMain(QString::fromLatin1(failure.mendMain));
    if (*failure.mendTablets)
        f.onTablets(QString::fromLatin1(failure.mendTablets));
    f.start();
    f.cycle();
    ASSERT_EQ(f.recorder.standardErrors().size(), 1u)
        << f.recorder.standardErrors()[1].text.toStdString();

    // Every item once in the main database, none left on the tablet.
    const Rows codes =
        f.main("select codigo from mesa where mesa = '000012' order by codigo", {"codigo"});
    Rows expected;
    for (int id = 1; id <= failure.items; ++id)
        expected.append({QStringLiteral("F%1").arg(id)});
    EXPECT_EQ(codes, expected);
    EXPECT_TRUE(f.tabletItems().isEmpty());
    // The interrupted pass's ticket (number 1), with the items it had written, then one for
    // the others (number 2): each item on one ticket.
    ASSERT_FALSE(f.sent.empty());
    QStringList onTickets;
    for (std::size_t i = 0; i < f.sent.size(); ++i) {
        const QString order = QString::number(failure.firstTicket + static_cast<int>(i));
        EXPECT_EQ(f.sent[i].lines.mid(0, 5), header(order, "000012", "Ana")) << i;
        onTickets += namesOn(f.sent[i].lines, names);
    }
    std::sort(onTickets.begin(), onTickets.end());
    QStringList sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end());
    EXPECT_EQ(onTickets, sortedNames);
    EXPECT_TRUE(f.log().contains(QStringLiteral("Passagem interrompida concluída (pedido 1, mesa "
                                                "'000012', impressora 1): ")))
        << f.log().toStdString();
    EXPECT_EQ(f.dataFile("pedido.INI"), "3\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Polling, PollingMidwayFailure,
    ::testing::Values(MidwayFailure{"MainRowRefused",
                                    3,
                                    "insert into mesa (id, idmesa, mesa) values (2, 2, 'outra')",
                                    {},
                                    "delete from mesa where mesa = 'outra'",
                                    "",
                                    1,
                                    1},
                      MidwayFailure{
                          "TabletFlagRefused",
                          3,
                          "",
                          {"create exception nao_marca 'flag refused'",
                           "create trigger mesa_nao_marca for mesa after update as begin "
                           "if ((select count(*) from mesa where mesa = 'EXCLUIR') > 1) then "
                           "exception nao_marca; end"},
                          "",
                          "drop trigger mesa_nao_marca",
                          1,
                          1},
                      MidwayFailure{"FirstMainRowRefused",
                                    2,
                                    "insert into mesa (id, idmesa, mesa) values (1, 1, 'outra')",
                                    {},
                                    "delete from mesa where mesa = 'outra'",
                                    "",
                                    0,
                                    2},
                      MidwayFailure{"FirstTabletFlagRefused",
                                    2,
                                    "",
                                    {"create exception nao_marca 'flag refused'",
                                     "create trigger mesa_nao_marca for mesa after update as "
                                     "begin exception nao_marca; end"},
                                    "",
                                    "drop trigger mesa_nao_marca",
                                    0,
                                    1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PollingFailure, ADatabaseErrorStopsPollingAndKeepsWhatRan) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 2});
    // The second item's id from the generator is taken already: its insert fails.
    f.onMain("insert into mesa (id, idmesa, mesa) values (2, 2, 'outra')");
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    TFormPalms& form = f.start();
    form.Timer2->start();
    f.cycle();

    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(f.recorder.standardErrors()[0].text.contains("PRIMARY", Qt::CaseInsensitive) ||
                f.recorder.standardErrors()[0].text.contains("unique", Qt::CaseInsensitive))
        << f.recorder.standardErrors()[0].text.toStdString();
    EXPECT_FALSE(form.Timer2->isActive());
    // The log says in words that polling has stopped, why, and what brings it back.
    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    // The database, its file and the statement come first, then Firebird's text.
    EXPECT_EQ(log.count(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: banco "
                                       "principal (caminho local '%1'), comando \"insert into mesa "
                                       "(id,idmesa,")
                            .arg(f.mainDatabase())),
              1)
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("\": ") +
                        programlog::clause(f.recorder.standardErrors()[0].text) +
                        QStringLiteral(". Ela fica parada até o programa ser iniciado de novo.")),
              1)
        << log.toStdString();
    EXPECT_TRUE(f.sent.empty());
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
    // The first item is in and flagged; the second untouched; no deletion, no bill.
    EXPECT_EQ(f.main("select id from mesa where mesa = '000012'", {"id"}), (Rows{{"1"}}));
    const Rows left = f.tabletItems();
    ASSERT_EQ(left.size(), 3);
    EXPECT_EQ(left[0].at(1) == "EXCLUIR", left[1].at(1) == "000012");
    EXPECT_NE(left[0].at(1), left[1].at(1));
    EXPECT_EQ(left[2], (QStringList{"50", "12"}));
}

TEST(PollingFailure, AFailingBillStopsPollingAndKeepsItsRequest) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.item({.id = 51, .mesa = "12", .cozinha = "7"});
    TFormPalms& form = f.start();
    f.failSend = [](const Sent& sent) { return sent.kind == Kind::Bill; };
    f.cycle();
    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_EQ(f.recorder.standardErrors()[0].text, "printer out of paper");
    EXPECT_FALSE(form.Timer2->isActive());
    EXPECT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
    EXPECT_EQ(f.tabletItems().size(), 2);

    // Two requests for one table: two bills, both answered.
    f.failSend = {};
    f.sent.clear();
    f.recorder.clear();
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_EQ(f.sent.size(), 2u);
    EXPECT_TRUE(f.tabletItems().isEmpty());
    EXPECT_TRUE(form.Timer2->isActive());
}

// Rows the cycle cannot move whole stay on the tablet, logged once per run, and everything
// else moves on.
TEST(PollingFailure, UnreadableTabletRowsAreLeftInPlaceAndLogged) {
    PollingFixture f(Access::Embedded);
    // A tablets' database whose ids are texts.
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id varchar(10), mesa varchar(20), imp varchar(1), "
                "COZINHA varchar(1), vend varchar(10), codigo varchar(20), Nomep varchar(50), "
                "Quant double precision, Valor double precision, Texto varchar(100))");
    f.table("12");
    f.waiter("3", "Ana");
    f.waiter("A1", "Bia");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('X7', '000012', '1', '9', '3', 'ruim', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "(NULL, '000012', '1', '9', '3', 'nulo', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('8', '000012', '1', '9', '3', 'bom', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('9', '000012', '2', '9', 'A1', 'garcom ruim', 1)");
    f.onTablets("insert into mesa (id, mesa, COZINHA, Quant) values ('C1', '12', '7', 2)");
    TFormPalms& form = f.start();

    for (int cycle = 0; cycle < 2; ++cycle)
        f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(form.Timer2->isActive());

    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].lines.at(6), "BOM");
    EXPECT_EQ(f.sent[0].lines.size(), 5 + 5 + 8);
    // The pass of waiter A1 took no order number.
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
    EXPECT_EQ(f.main("select nomep from mesa", {"nomep"}), (Rows{{"bom"}}));
    EXPECT_EQ(f.tablets("select id, mesa from mesa order by Nomep", {"id", "mesa"}),
              (Rows{{"C1", "12"}, {"9", "000012"}, {"", "000012"}, {"X7", "000012"}}));

    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    EXPECT_EQ(log.count('\n'), 4) << log.toStdString();
    for (const char* id : {"id X7,", "id NULL,", "id 9,", "id C1,"})
        EXPECT_EQ(log.count(QString::fromLatin1(id)), 1) << id;
    EXPECT_TRUE(log.contains(QString::fromUtf8("não é um número inteiro")));
}

// Items typed for a table that is not open in CabMesa wait for ever: each such table text is
// logged once per run, in the fast path and in the plain nesting alike, and with no table
// open at all. Rows flagged by a cycle that stopped are no such items.
TEST(PollingFailure, ItemsForATableNotOpenAreLoggedOncePerTable) {
    for (const auto mode : {PollingCycle::PollingMode::Fast, PollingCycle::PollingMode::Plain}) {
        for (const bool anyTableOpen : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "plain " << (mode == PollingCycle::PollingMode::Plain)
                         << ", a table open " << anyTableOpen);
            PollingFixture f(Access::Embedded);
            if (anyTableOpen)
                f.table("12");
            f.waiter("3", "Ana");
            f.item({.id = 1});
            f.item({.id = 2, .mesa = "000013"});
            f.item({.id = 3, .mesa = "000013", .imp = "2"});
            f.item({.id = 4, .mesa = "A1"});
            f.item({.id = 5, .mesa = "EXCLUIR"});
            f.item({.id = 50, .mesa = "14", .cozinha = "7"});
            TFormPalms& form = f.start();
            form.cycle().pollingMode = mode;
            f.cycle();
            f.item({.id = 6, .mesa = "000013"});
            f.cycle();
            EXPECT_TRUE(f.recorder.shown().empty());
            EXPECT_EQ(f.mainItems().size(), anyTableOpen ? 1 : 0);

            const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
            const auto waiting = [&](const char* table) {
                return log.count(QStringLiteral("Itens do tablet esperando pela mesa '%1', que "
                                                "não está aberta no CabMesa")
                                     .arg(QString::fromLatin1(table)));
            };
            EXPECT_EQ(waiting("000013"), 1) << log.toStdString();
            EXPECT_TRUE(log.contains(QStringLiteral("mesa '000013', que não está aberta no "
                                                    "CabMesa (2 item(ns))")));
            EXPECT_EQ(waiting("A1"), 1);
            EXPECT_EQ(waiting("000012"), anyTableOpen ? 0 : 1);
            EXPECT_EQ(waiting("EXCLUIR"), 0);
            EXPECT_EQ(waiting("14"), 0); // a bill request is no item
        }
    }
}

// Rows that no pass can ever move are logged once per run each, by id, in the fast path and
// the plain nesting alike, and with no table open; rows that a pass may still find, that the
// deletion of moved items takes, and bill requests are not.
TEST(PollingFailure, RowsThatCanNeverMoveAreLoggedOncePerRow) {
    for (const auto mode : {PollingCycle::PollingMode::Fast, PollingCycle::PollingMode::Plain}) {
        for (const bool anyTableOpen : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "plain " << (mode == PollingCycle::PollingMode::Plain)
                         << ", a table open " << anyTableOpen);
            PollingFixture f(Access::Embedded);
            if (anyTableOpen)
                f.table("12");
            f.waiter("3", "Ana");
            f.item({.id = 1});
            f.item({.id = 2, .vend = "9"});
            f.item({.id = 3, .imp = "6"});
            f.item({.id = 4, .mesa = QString()});
            f.item({.id = 5, .cozinha = "8"});
            f.item({.id = 6, .cozinha = QString()});
            f.item({.id = 7, .vend = "3 "});
            f.item({.id = 8, .mesa = "EXCLUIR", .imp = "6"});
            f.item({.id = 50, .mesa = "12", .cozinha = "7"});
            TFormPalms& form = f.start();
            form.cycle().pollingMode = mode;
            f.cycle();
            f.item({.id = 9, .imp = "x"});
            f.cycle();
            f.cycle();
            EXPECT_TRUE(f.recorder.shown().empty());
            EXPECT_EQ(f.mainItems().size(), anyTableOpen ? 2 : 0);

            const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
            const auto logged = [&](int id) {
                return log.count(
                    QStringLiteral("Item do tablet que nunca será movido (id %1,").arg(id));
            };
            for (const int id : {2, 3, 4, 5, 6, 9})
                EXPECT_EQ(logged(id), 1) << id << log.toStdString();
            for (const int id : {1, 7, 8, 50})
                EXPECT_EQ(logged(id), 0) << id;
            EXPECT_TRUE(log.contains(QStringLiteral("(id 4, mesa NULL, imp '1', vend '3', "
                                                    "COZINHA '9'): não tem mesa;")));
        }
    }
}

// Without tables or waiters nothing moves, but the flagged rows of an earlier cycle are
// deleted and the bill requests answered all the same.
TEST(PollingFailure, NoTablesOrNoWaitersMoveNothingButTheCycleGoesOn) {
    for (const bool withTable : {false, true}) {
        PollingFixture f(Access::Embedded);
        if (withTable)
            f.table("12");
        else
            f.waiter("3", "Ana");
        f.item({.id = 1});
        // Left by a cycle that stopped before the moved rows were deleted.
        f.item({.id = 2, .mesa = "EXCLUIR"});
        f.item({.id = 50, .mesa = "12", .cozinha = "7"});
        TFormPalms& form = f.start();
        f.cycle();
        EXPECT_TRUE(f.recorder.shown().empty());
        EXPECT_TRUE(form.Timer2->isActive());
        EXPECT_TRUE(f.mainItems().isEmpty());
        EXPECT_EQ(f.tabletItems(), (Rows{{"1", "000012"}})) << "with table: " << withTable;
        ASSERT_EQ(f.sent.size(), 1u);
        EXPECT_EQ(f.sent[0].kind, Kind::Bill);
        EXPECT_EQ(f.dataFile("pedido.INI"), "<missing>");
    }
}

// The cycle with its real destinations: ports and files, nothing printed, the preview
// never reached. No printer is installed, so anything sent to a printer would fail.
TEST(PollingDestinations, PortsLoseTicketsSilentlyAndStopPollingForABill) {
    PollingFixture f(Access::Embedded);
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    const QString missing = ports.filePath(QStringLiteral("nao/existe/LPT1"));
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "5", .nomep = "feijoada"});
    f.item({.id = 2, .imp = "4", .nomep = "farofa"});
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    TFormPalms& form = f.start();
    form.reportSink = nullptr;
    // Printer number 5: the first copy not printed, the second to its port.
    form.ComboBox2->setEditText("Nao Imprimir");
    form.ComboBox3->setEditText("Informar Porta");
    form.Edit31->setText(ports.filePath(QStringLiteral("bar.txt")));
    // Printer number 4 and the bill: a port in a folder that does not exist.
    form.ComboBox5->setEditText("Informar Porta");
    form.Edit33->setText(missing);
    form.ComboBox1->setEditText("Informar Porta");
    form.Edit29->setText(missing);
    form.Edit22->setText("0");
    form.Timer2->start();

    f.cycle();

    // The bill stops polling with the error box; its request stays, the table's STATUS update has
    // run.
    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(f.recorder.standardErrors()[0].text.contains(missing))
        << f.recorder.standardErrors()[0].text.toStdString();
    EXPECT_FALSE(form.Timer2->isActive());
    EXPECT_EQ(f.tabletItems(), (Rows{{"50", "12"}}));
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
    // Both items moved, printer number 4 first; only the second copy of printer number 5
    // reached its port.
    EXPECT_EQ(f.main("select nomep from mesa order by id", {"nomep"}),
              (Rows{{"farofa"}, {"feijoada"}}));
    QFile bar(ports.filePath(QStringLiteral("bar.txt")));
    ASSERT_TRUE(bar.open(QIODevice::ReadOnly));
    const QByteArray barTicket = bar.readAll();
    EXPECT_TRUE(barTicket.startsWith("PEDIDO       :2\r\nCOMANDA/MESA.:000012\r\n"))
        << barTicket.constData();
    EXPECT_TRUE(barTicket.contains("\r\nFEIJOADA\r\n"));
    EXPECT_TRUE(barTicket.endsWith("\r\n.\r\n"));
    EXPECT_EQ(QDir(ports.path()).entryList(QDir::Files), QStringList{"bar.txt"});
    // The lost ticket of printer number 4 is in the log only.
    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    EXPECT_EQ(log.count(QStringLiteral("--- pedido ---")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("(impressora 4, destino 'Informar Porta'")));
    EXPECT_TRUE(log.contains(QStringLiteral("FAROFA")));

    // Mended and started again: the request is answered and deleted.
    f.recorder.clear();
    form.Edit29->setText(ports.filePath(QStringLiteral("conta.txt")));
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(form.Timer2->isActive());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    QFile bill(ports.filePath(QStringLiteral("conta.txt")));
    ASSERT_TRUE(bill.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bill.readAll().startsWith("    SIMPLES CONFERENCIA DA CONTA\r\n"));
}

// --- Bad input -----------------------------------------------------------------------------

TEST(PollingInput, QuotesAndForeignCharactersKeepTheStatementsWhole) {
    PollingFixture f(Access::Embedded);
    f.table("D'OR");
    f.waiter("3", "O'Neil");
    const QString longName = QString::fromUtf8("Pizza d'água ç ") + QString(35, u'x');
    f.item({.id = 1,
            .mesa = "D.OR",
            .nomep = longName,
            .texto = QString::fromUtf8("'; drop table mesa; -- ") + QString(77, u'y')});
    TFormPalms& form = f.start();
    form.ComboBox2->setEditText("Monitor Cozinha");
    // A date the main database's character set cannot hold.
    RegionalSettings settings = RegionalSettings::comma();
    settings.shortDateFormat = QString::fromUtf8("%d.%m ő ł");
    const ScopedRegionalSettings unholdable(settings);
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    const Rows items = f.main("select mesa, nomep, texto from mesa", {"mesa", "nomep", "texto"});
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0],
              (QStringList{"D.OR", longName,
                           QString::fromUtf8("'; drop table mesa; -- ") + QString(13, u'y')}));
    const Rows monitor = f.monitorRows();
    ASSERT_EQ(monitor.size(), 1);
    EXPECT_EQ(monitor[0].at(1), "09.03 o ? 18:05:07");
    EXPECT_EQ(monitor[0].at(2), "D.OR");
    EXPECT_EQ(monitor[0].at(7), ".; drop table mesa; -- yyyyy");
    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].lines.at(2), "Garcom :O'Neil");
}

// Tablet software that keeps ids, Vend and table texts as fixed-width text (CHAR, padded with
// blanks): the items move with their extras and are flagged and deleted, the bill request is
// answered and deleted. An id that does not read back as written stays in place, as ever.
TEST(PollingInput, FixedWidthIdsAndVendMove) {
    PollingFixture f(Access::Embedded);
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id char(10), mesa char(12), imp char(2), COZINHA char(1), "
                "vend char(6), codigo varchar(20), Nomep varchar(50), Quant double precision, "
                "Valor double precision, Texto varchar(100))");
    f.table("12");
    f.waiter("3", "Ana");
    for (const char* id : {"7", "8", "012"})
        f.onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, "
                                   "Nomep, Quant, Valor) values ('%1', '000012', '1', '9', '3', "
                                   "'P%1', 'prato %1', 1, 2)")
                        .arg(QString::fromLatin1(id)));
    f.extra(7, "sem sal");
    f.onTablets("insert into mesa (id, mesa, COZINHA, Quant) values ('50', '12', '7', 2)");
    TFormPalms& form = f.start();
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(form.Timer2->isActive());

    EXPECT_EQ(f.main("select codigo, vend from mesa order by codigo", {"codigo", "vend"}),
              (Rows{{"P7", "3"}, {"P8", "3"}}));
    EXPECT_EQ(f.tablets("select id from mesa", {"id"}), (Rows{{"012       "}}));
    ASSERT_EQ(f.sent.size(), 2u);
    EXPECT_EQ(f.sent[0].kind, Kind::KitchenTicket);
    EXPECT_TRUE(f.sent[0].lines.contains("   sem sal"));
    EXPECT_EQ(f.sent[1].kind, Kind::Bill);
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
}

// The kitchen-monitor row carries the date as the regional settings write it; a character
// there that Windows-1252 turns into an apostrophe (the full-width one) is quoted as one.
TEST(PollingInput, AFullWidthApostropheCannotEndTheStatement) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    TFormPalms& form = f.start();
    form.ComboBox2->setEditText("Monitor Cozinha");
    RegionalSettings settings = RegionalSettings::comma();
    settings.shortDateFormat = QString::fromUtf8("%d\uFF07%m");
    const ScopedRegionalSettings unholdable(settings);
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    const Rows monitor = f.monitorRows();
    ASSERT_EQ(monitor.size(), 1);
    EXPECT_EQ(monitor[0].at(1), "09'03 18:05:07");
}

// Bad tablet rows, each in a tablets' table whose columns are all texts (so any of them can
// hold anything), between two good ones. Whatever a row holds, it is moved whole or not at
// all: one main row and its flag, or no main row, no monitor row and the tablet row untouched;
// an error, if any, is a clear one in the error box.
struct BadRow {
    std::string name;
    std::string values; // id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, Texto
    bool moves;
};

class BadTabletRows : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadTabletRows, MoveWholeOrNotAtAll) {
    PollingFixture f(Access::Embedded);
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id varchar(40), mesa varchar(40), imp varchar(40), "
                "COZINHA varchar(40), vend varchar(40), codigo varchar(200), "
                "Nomep varchar(4000) character set none, Quant varchar(40), "
                "Valor varchar(40), Texto varchar(8000) character set none)");
    f.table("12");
    f.waiter("3", "Ana");
    for (const char* waiter : {"3.5", "1e2", "x"})
        f.waiter(waiter, "Outro");
    const QString columns =
        QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, "
                       "Valor, Texto) values ");
    f.onTablets(columns + "('1', '000012', '1', '9', '3', 'BOM1', 'antes', '1', '2', NULL)");
    f.onTablets(columns + "(" + QString::fromStdString(GetParam().values) + ")");
    f.onTablets(columns + "('9000', '000012', '4', '9', '3', 'BOM2', 'depois', '1', '2', NULL)");
    TFormPalms& form = f.start();
    // Every item also gets its kitchen-monitor row, the first statement that could fail.
    for (QComboBox* box : {form.ComboBox2, form.ComboBox3, form.ComboBox4, form.ComboBox5})
        box->setEditText("Monitor Cozinha");
    // Two cycles, as Timer2 would run them: none after an error.
    form.Timer2->start();
    for (int cycle = 0; cycle < 2 && form.Timer2->isActive(); ++cycle)
        f.cycle();

    const Rows main = f.main("select codigo from mesa order by codigo", {"codigo"});
    // A cycle stopped by an error leaves its flagged rows for the next one to delete.
    const Rows left = f.tablets("select codigo, mesa from mesa where mesa <> 'EXCLUIR' or "
                                "mesa is null",
                                {"codigo", "mesa"});
    for (const QStringList& row :
         f.tablets("select codigo from mesa where mesa = 'EXCLUIR'", {"codigo"}))
        EXPECT_TRUE(main.contains(row)) << row.at(0).toStdString();
    const auto errors = f.recorder.standardErrors();
    for (const messages::Shown& error : errors)
        EXPECT_FALSE(error.text.trimmed().isEmpty());
    EXPECT_LE(errors.size(), 1u); // the first stops polling
    if (GetParam().moves) {
        EXPECT_TRUE(errors.empty()) << errors[0].text.toStdString();
        EXPECT_EQ(main.size(), 3);
        EXPECT_TRUE(left.isEmpty());
    } else {
        // The bad row untouched on the tablet; the good ones moved unless the bad one stopped
        // the cycle with an error (the one after it then waits on the tablet).
        ASSERT_FALSE(left.isEmpty());
        EXPECT_FALSE(main.contains(QStringList{"RUIM"}));
        EXPECT_EQ(main.contains(QStringList{"BOM2"}), errors.empty());
        EXPECT_EQ(left.size(), errors.empty() ? 1 : 2);
    }
    // Each moved item once, with one monitor row.
    EXPECT_EQ(f.monitorRows().size(), main.size());
    EXPECT_EQ(QSet<QStringList>(main.begin(), main.end()).size(), main.size());
}

const std::string kNameOfThousands(3000, 'n');
const std::string kNoteOfThousands(6000, 'z');

INSTANTIATE_TEST_SUITE_P(
    Polling, BadTabletRows,
    ::testing::Values(
        BadRow{"AllNull", "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL", false},
        BadRow{"AllNullButTheKeys", "'5', '000012', '2', '9', '3', NULL, NULL, NULL, NULL, NULL",
               true},
        BadRow{"NullId", "NULL, '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"FractionalId", "'1.5', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"ExponentId", "'1e3', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"LeadingZeroId", "'012', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"BlankBeforeId", "' 13', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"HugeId",
               "'99999999999999999999999', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"FractionalVend", "'6', '000012', '2', '9', '3.5', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"ExponentVend", "'6', '000012', '2', '9', '1e2', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"TextVend", "'6', '000012', '2', '9', 'x', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"TextQuantity", "'6', '000012', '2', '9', '3', 'RUIM', 'x', 'dois', '1', NULL",
               false},
        BadRow{"ThousandsOfCharactersInTheName",
               "'6', '000012', '2', '9', '3', 'RUIM', '" + kNameOfThousands + "', '1', '1', NULL",
               false},
        BadRow{"ThousandsOfCharactersInTheNote",
               "'6', '000012', '2', '9', '3', 'LONGA', 'x', '1', '1', '" + kNoteOfThousands + "'",
               true},
        BadRow{"SqlInEveryText",
               "'6', '000012', '2', '9', '3', 'X'');delete mesa;--', "
               "'''; drop table mesa; commit; --', '1', '1', "
               "''' or 1=1; update mesa set mesa = ''EXCLUIR''; select * from rdb$database --'",
               true},
        BadRow{"BytesOutsideWindows1252",
               "'6', '000012', '2', '9', '3', 'BYTES', x'4181428D439D', '1', '1', "
               "x'F09F8D95C582'",
               true}),
    [](const ::testing::TestParamInfo<BadRow>& info) { return info.param.name; });

// Settings files with bad contents, each read where the program reads it (start-up, each
// ticket, each bill): the cycle moves the item and answers the bill with the fallbacks of
// those files, or stops with a clear error before anything of the item is written.
struct BadFile {
    std::string name;
    QByteArray bytes;
};

QByteArray garbage() {
    QByteArray bytes;
    quint32 state = 12345;
    for (int i = 0; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.append(char(state >> 24));
    }
    return bytes;
}

QByteArray millionLines() {
    QByteArray bytes;
    bytes.reserve(3'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        bytes.append("5\r\n");
    return bytes;
}

class BadSettingsFiles : public ::testing::TestWithParam<std::tuple<const char*, BadFile>> {};

TEST_P(BadSettingsFiles, GiveTheirFallbacksOrAClearError) {
    const auto& [file, bad] = GetParam();
    PollingFixture f(Access::Embedded);
    f.writeDataFile(file, bad.bytes);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.start();
    f.cycle();

    const auto errors = f.recorder.standardErrors();
    ASSERT_LE(errors.size(), 1u);
    const Rows moved = f.main("select codigo from mesa where mesa = '000012'", {"codigo"});
    if (!errors.empty()) {
        EXPECT_FALSE(errors[0].text.trimmed().isEmpty());
        EXPECT_LE(moved.size(), 1);
        EXPECT_EQ(f.tabletItems().size(), 2 - moved.size());
        return;
    }
    EXPECT_EQ(moved, Rows{{"P1"}});
    EXPECT_TRUE(f.tabletItems().isEmpty());
    ASSERT_EQ(f.sent.size(), 2u);
    if (std::string(file) == "pedido.INI") {
        // Line 0 as it reads, else 1.
        const QString first = f.sent[0].lines.at(0);
        if (bad.name == "AMillionLines") {
            EXPECT_EQ(first, "PEDIDO       :5");
        }
        if (bad.name == "BinaryGarbage") {
            EXPECT_EQ(first, "PEDIDO       :1");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Polling, BadSettingsFiles,
    ::testing::Combine(
        ::testing::Values("DozEdiz.INI", "pedido.INI", "setup.INI", "fonte.INI", "SetupRede.Ini"),
        ::testing::Values(BadFile{"BinaryGarbage", garbage()},
                          BadFile{"Utf16ByteOrderMark", QByteArray("\xFF\xFE"
                                                                   "9\0\r\0\n\0",
                                                                   8)},
                          BadFile{"Utf16ByteOrderMarkAlone", QByteArray("\xFF\xFE\x41", 3)},
                          BadFile{"NoLineEnds", QByteArray(200'000, '7')},
                          BadFile{"AMillionLines", millionLines()})),
    [](const auto& info) {
        std::string name = std::get<0>(info.param);
        name.erase(name.find('.'), 1);
        return name + "_" + std::get<1>(info.param).name;
    });

// --- The timers ----------------------------------------------------------------------------

TEST(PollingTimers, Timer3StartsTheCyclesOfTimer2) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    TFormPalms& form = f.start();
    EXPECT_FALSE(form.Timer2->isActive());
    EXPECT_FALSE(form.Timer3->isActive());
    form.Timer3->start();
    form.Timer3Timer();
    EXPECT_FALSE(form.Timer3->isActive());
    ASSERT_TRUE(form.Timer2->isActive());
    EXPECT_EQ(form.Timer2->interval(), 5000);
    form.Timer2->setInterval(0);
    for (int wait = 0; wait < 1000 && f.sent.empty(); ++wait)
        QTest::qWait(10);
    EXPECT_EQ(f.sent.size(), 1u);
    EXPECT_TRUE(f.tabletItems().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
