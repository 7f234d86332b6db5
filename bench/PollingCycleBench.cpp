// One polling cycle at restaurant scale: T open tables, W waiters and K new tablet items,
// fast and plain, on the embedded engine and through a Firebird server on loopback.
//
//   polling_cycle_bench [--server HOST/PORT] [--sizes TxWxK,...] [--idle-cycles N]
//                       [--plain yes|no]
//
// Prints one name=value line per figure. tools/bench.sh builds it, starts a private server
// and runs it.

#include "app/cycle/PollingCycle.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/text/TextConventions.h"
#include "platform/RegionalSettings.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using Mode = PollingCycle::PollingMode;

struct Size {
    int tables;
    int waiters;
    int items;
};

struct Cycle {
    double ms = 0;
    quint64 mainStatements = 0;
    quint64 tabletStatements = 0;
};

// Statements each item sends: its extras and its 'EXCLUIR' flag to the tablets, its id from
// the generator and its row to the main database, and a kitchen-monitor row for an item
// bound for the monitor.
constexpr int kItemStatements = 4;
// Printer number whose box reads "Monitor Cozinha" in the fixture.
constexpr int kMonitorPrinter = 4;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using Figures = QList<std::pair<QString, QString>>;

QString figure(double value) {
    return QString::number(value, 'f', 2);
}
QString figure(quint64 value) {
    return QString::number(value);
}

void print(const Figures& figures, const QString& prefix) {
    for (const auto& [name, value] : figures)
        std::printf("%s%s=%s\n", qPrintable(prefix), qPrintable(name), qPrintable(value));
    std::fflush(stdout);
}

// Counts the tickets and sends them nowhere.
class CountingSink : public ReportSink {
public:
    void send(const Report&) override { ++count; }
    int count = 0;
};

// Both databases as prepare-data.sh makes them, filled with T tables and W waiters, and the
// polling cycle on them as start-up leaves it, its tickets counted and sent nowhere.
class Restaurant {
public:
    Restaurant(const QString& server, const Size& size) : m_server(server), m_size(size) {
        if (!m_data.isValid())
            throw std::runtime_error("cannot create a temporary folder");
        testsupport::prepareData(m_data.path());
        m_dataFolder.emplace("TOBRASK_BARES_DIR", m_data.path());
        m_databaseFolder.emplace("TOBRASK_DB_DIR", m_data.path());

        m_main.setDatabase(databaseText(QStringLiteral("DRAVCUVORA22.FDB")));
        m_main.connect();
        m_tablets.setDatabase(databaseText(QStringLiteral("DRAVPALMS.FDB")));
        m_tablets.connect();
        execute(m_main, QStringLiteral("execute block as declare i integer = 1; begin "
                                       "while (i <= %1) do begin "
                                       "insert into CabMesa (mesa, vendedor, Hora, STATUS) "
                                       "values (:i, '1', '19:00:00', '0'); i = i + 1; end end")
                            .arg(size.tables));
        execute(m_main, QStringLiteral("execute block as declare i integer = 1; begin "
                                       "while (i <= %1) do begin "
                                       "insert into vendedor (codigo, Nome) "
                                       "values (:i, 'Garcom ' || :i); i = i + 1; end end")
                            .arg(size.waiters));

        // Connected and prepared as start-up does it.
        m_polling = std::make_unique<PollingCycle>(m_sink);
        m_polling->Logon.setRole(QStringLiteral("principal"));
        m_polling->LogonP.setRole(QStringLiteral("dos tablets"));
        m_polling->Logon.setDatabase(databaseText(QStringLiteral("DRAVCUVORA22.FDB")));
        m_polling->LogonP.setDatabase(databaseText(QStringLiteral("DRAVPALMS.FDB")));
        m_polling->Logon.connect();
        m_polling->LogonP.connect();
        m_polling->prepareDatabases();
        m_polling->readEstablishmentFlags();
        m_snapshot.destinations = {QString(), QStringLiteral("Cozinha"), QStringLiteral("Bar"),
                                   QStringLiteral("Pizzaria"), QStringLiteral("Monitor Cozinha")};
        m_snapshot.feedLines = QStringLiteral("7");
    }
    ~Restaurant() { m_polling.reset(); }
    Restaurant(const Restaurant&) = delete;
    Restaurant& operator=(const Restaurant&) = delete;

    // K new items on the tablets: orders of three items for one table and one waiter,
    // spread over the tables, the waiters and the six printer numbers. Answers how many
    // statements moving them sends.
    quint64 addItems() {
        quint64 statements = 0;
        for (int item = 0; item < m_size.items; ++item) {
            const int order = item / 3;
            const int table = (order * 37) % m_size.tables + 1;
            const int waiter = (order * 7) % m_size.waiters + 1;
            const int printer = (order + item) % 6;
            const int id = ++m_lastId;
            execute(m_tablets,
                    QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                   "Quant, Valor, Texto) values (%1, '%2', '%3', '9', '%4', "
                                   "'P%5', 'Prato %5', 1, 25.5, '** Sem complemento **')")
                        .arg(id)
                        .arg(table, 6, 10, QChar(u'0'))
                        .arg(printer)
                        .arg(waiter)
                        .arg(item));
            statements += kItemStatements + (printer == kMonitorPrinter ? 1 : 0);
        }
        return statements;
    }

    // One cycle; an error stops the measurement, as it stops polling.
    Cycle cycle(Mode mode) {
        m_polling->pollingMode = mode;
        const quint64 mainBefore = m_polling->Logon.statementsSent();
        const quint64 tabletsBefore = m_polling->LogonP.statementsSent();
        QElapsedTimer timer;
        timer.start();
        m_polling->run(m_snapshot);
        Cycle result;
        result.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        result.mainStatements = m_polling->Logon.statementsSent() - mainBefore;
        result.tabletStatements = m_polling->LogonP.statementsSent() - tabletsBefore;
        return result;
    }

    // The least any cycle must do: the tables, the waiters, one read of the new items, the
    // deletion of moved items and the bill requests.
    double minimalCycleMs() {
        QElapsedTimer timer;
        timer.start();
        const auto open = [](db::Query& query, const QString& statement) {
            query.close();
            query.clearText();
            query.addLine(statement);
            query.open();
        };
        open(m_polling->TabMesa, QStringLiteral("select * from CabMesa "));
        open(m_polling->Vendedor, QStringLiteral("select * from vendedor "));
        open(m_polling->MesaPalm,
             QStringLiteral("select mesa, imp, vend from mesa where COZINHA = '9'"));
        m_polling->erro.close();
        m_polling->erro.clearText();
        m_polling->erro.addLine(QStringLiteral("delete from  mesa  where mesa = 'EXCLUIR'"));
        m_polling->erro.execute();
        open(m_polling->MesaPalm, QStringLiteral("select * from mesa where COZINHA = '7'"));
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }

    int tickets() const { return m_sink.count; }

private:
    QString databaseText(const QString& file) const {
        const QString path = m_data.filePath(file);
        return m_server.isEmpty() ? path : m_server + u':' + path;
    }
    static void execute(db::Connection& connection, const QString& statement) {
        db::Query query(connection);
        query.addLine(statement);
        query.execute();
    }

    QString m_server;
    Size m_size;
    QTemporaryDir m_data;
    std::optional<testsupport::ScopedEnvVar> m_dataFolder;
    std::optional<testsupport::ScopedEnvVar> m_databaseFolder;
    db::Connection m_main;
    db::Connection m_tablets;
    int m_lastId = 0;
    CountingSink m_sink;
    // The kitchen boxes, printer number 4 on the monitor; no bill is asked for.
    CycleSnapshot m_snapshot;
    std::unique_ptr<PollingCycle> m_polling;
};

// Prints the figures of one engine and size, each name prefixed with them, and answers them.
Figures measure(const QString& engine, const QString& server, const Size& size, int idleCycles,
                bool plain) {
    Restaurant restaurant(server, size);

    // Idle: nothing new on the tablets.
    restaurant.cycle(Mode::Fast);
    std::vector<double> idle;
    std::vector<double> minimal;
    Cycle idleCycle;
    for (int i = 0; i < idleCycles; ++i) {
        idleCycle = restaurant.cycle(Mode::Fast);
        idle.push_back(idleCycle.ms);
        minimal.push_back(restaurant.minimalCycleMs());
    }
    const Cycle plainIdle = plain ? restaurant.cycle(Mode::Plain) : Cycle{};

    // Busy: K new items, moved by each mode in turn.
    const quint64 itemStatements = restaurant.addItems();
    const int ticketsBefore = restaurant.tickets();
    const Cycle busy = restaurant.cycle(Mode::Fast);
    const int busyTickets = restaurant.tickets() - ticketsBefore;
    Cycle plainBusy;
    if (plain) {
        restaurant.addItems();
        plainBusy = restaurant.cycle(Mode::Plain);
    }

    const double idleMs = median(idle);
    const double minimalMs = median(minimal);
    const quint64 busyStatements = busy.mainStatements + busy.tabletStatements;
    const Figures figures = {
        {QStringLiteral("idle_ms"), figure(idleMs)},
        {QStringLiteral("minimal_cycle_ms"), figure(minimalMs)},
        {QStringLiteral("idle_vs_minimal"), figure(idleMs / minimalMs)},
        {QStringLiteral("plain_idle_ms"), figure(plainIdle.ms)},
        {QStringLiteral("idle_speedup_vs_plain"), figure(plainIdle.ms / idleMs)},
        {QStringLiteral("busy_ms"), figure(busy.ms)},
        {QStringLiteral("plain_busy_ms"), figure(plainBusy.ms)},
        {QStringLiteral("busy_speedup_vs_plain"), figure(plainBusy.ms / busy.ms)},
        {QStringLiteral("busy_item_statement_share"),
         figure(static_cast<double>(itemStatements) / static_cast<double>(busyStatements))},
        {QStringLiteral("statements_idle"),
         figure(idleCycle.mainStatements + idleCycle.tabletStatements)},
        {QStringLiteral("statements_idle_main"), figure(idleCycle.mainStatements)},
        {QStringLiteral("statements_idle_tablets"), figure(idleCycle.tabletStatements)},
        {QStringLiteral("plain_statements_idle_main"), figure(plainIdle.mainStatements)},
        {QStringLiteral("plain_statements_idle_tablets"), figure(plainIdle.tabletStatements)},
        {QStringLiteral("statements_busy"), figure(busyStatements)},
        {QStringLiteral("statements_busy_main"), figure(busy.mainStatements)},
        {QStringLiteral("statements_busy_tablets"), figure(busy.tabletStatements)},
        {QStringLiteral("plain_statements_busy_main"), figure(plainBusy.mainStatements)},
        {QStringLiteral("plain_statements_busy_tablets"), figure(plainBusy.tabletStatements)},
        {QStringLiteral("busy_item_statements"), figure(itemStatements)},
        {QStringLiteral("busy_tickets"), figure(static_cast<quint64>(busyTickets))}};
    Figures measured;
    for (const auto& figure : figures)
        if (plain || !figure.first.contains(QLatin1String("plain")))
            measured.append(figure);
    print(measured, QStringLiteral("%1_t%2_w%3_k%4_")
                        .arg(engine)
                        .arg(size.tables)
                        .arg(size.waiters)
                        .arg(size.items));
    return measured;
}

QList<Size> parseSizes(const QString& text) {
    QList<Size> sizes;
    for (const QString& size : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = size.split(u'x');
        if (parts.size() != 3)
            throw std::runtime_error("sizes are TxWxK, separated by commas");
        sizes.append({parts[0].toInt(), parts[1].toInt(), parts[2].toInt()});
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QString server;
    QList<Size> sizes = {{100, 20, 60}, {300, 60, 60}};
    int idleCycles = 15;
    bool plain = true;
    const QStringList arguments = application.arguments();
    try {
        for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
            if (arguments[i] == QLatin1String("--server"))
                server = arguments[i + 1];
            else if (arguments[i] == QLatin1String("--sizes"))
                sizes = parseSizes(arguments[i + 1]);
            else if (arguments[i] == QLatin1String("--plain"))
                plain = arguments[i + 1] != QLatin1String("no");
            else if (arguments[i] == QLatin1String("--idle-cycles"))
                idleCycles = std::max(1, arguments[i + 1].toInt());
            else
                throw std::runtime_error("unknown argument " + arguments[i].toStdString());
        }
        setRegionalSettings(RegionalSettings::comma());
        // The first size on the server (else embedded) once more, unprefixed, at the end.
        Figures headline;
        for (const Size& size : sizes) {
            Figures figures;
            if (!server.isEmpty())
                figures = measure(QStringLiteral("server"), server, size, idleCycles, plain);
            const Figures embedded =
                measure(QStringLiteral("embedded"), QString(), size, idleCycles, plain);
            if (headline.isEmpty())
                headline = server.isEmpty() ? embedded : figures;
        }
        print(headline, QString());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "polling_cycle_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
