// One polling cycle at restaurant scale: T open tables, W waiters and K new tablet items,
// fast and plain, on the embedded engine and through a Firebird server on loopback.
//
//   polling_cycle_bench [--server HOST/PORT] [--sizes TxWxK,...] [--idle-cycles N]
//
// Prints one name=value line per figure. tools/bench.sh builds it, starts a private server
// and runs it.

#include "app/TextConventions.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/mesa_ponte/TFormPalms.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/RegionalSettings.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Mode = TFormPalms::PollingMode;

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

// Statements each item sends: C4 and C8 to the tablets, C6 and C7 to the main database, and
// C5 for an item bound for the kitchen monitor.
constexpr int kItemStatements = 4;
// Printer number whose box reads "Monitor Cozinha" in the fixture.
constexpr int kMonitorPrinter = 4;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const QString& name, double value) {
    std::printf("%s=%.2f\n", qPrintable(name), value);
}
void print(const QString& name, quint64 value) {
    std::printf("%s=%llu\n", qPrintable(name), static_cast<unsigned long long>(value));
}

QString sourceDir() {
    const QString fromEnvironment = qEnvironmentVariable("CUVORA_SOURCE_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(CUVORA_SOURCE_DIR_DEFAULT) : fromEnvironment;
}

void run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("TOBRASK_DB_DIR"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        throw std::runtime_error((program + u' ' + arguments.join(u' ') +
                                  QStringLiteral(" failed: ") +
                                  QString::fromLocal8Bit(process.readAll()))
                                     .toStdString());
}

// Both databases as prepare-data.sh makes them, filled with T tables and W waiters, and the
// program's main window on them, its tickets going nowhere.
class Restaurant {
public:
    Restaurant(const QString& server, const Size& size) : m_server(server), m_size(size) {
        if (!m_data.isValid())
            throw std::runtime_error("cannot create a temporary folder");
        run(sourceDir() + QStringLiteral("/tools/prepare-data.sh"), {m_data.path()});
        setenv("TOBRASK_BARES_DIR", m_data.path().toLocal8Bit().constData(), 1);
        setenv("TOBRASK_DB_DIR", m_data.path().toLocal8Bit().constData(), 1);
        lockedfile::writeAll(
            m_data.filePath(QStringLiteral("QibClientServ.ini")),
            ((server.isEmpty() ? QStringLiteral("nil") : server) + "\r\n\r\n").toUtf8());

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

        form = std::make_unique<TFormPalms>();
        form->reportSink = [this](const QString&, const QString&, TFormPalms::ReportKind,
                                  const QStringList&) { ++tickets; };
        form->ComboBox2->setEditText(QStringLiteral("Cozinha"));
        form->ComboBox3->setEditText(QStringLiteral("Bar"));
        form->ComboBox4->setEditText(QStringLiteral("Pizzaria"));
        form->ComboBox5->setEditText(QStringLiteral("Monitor Cozinha"));
    }
    ~Restaurant() {
        form.reset();
        unsetenv("TOBRASK_BARES_DIR");
        unsetenv("TOBRASK_DB_DIR");
    }

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

    Cycle cycle(Mode mode) {
        form->pollingMode = mode;
        const quint64 mainBefore = form->Logon.statementsSent();
        const quint64 tabletsBefore = form->LogonP.statementsSent();
        QElapsedTimer timer;
        timer.start();
        form->Timer2Timer();
        Cycle result;
        result.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        result.mainStatements = form->Logon.statementsSent() - mainBefore;
        result.tabletStatements = form->LogonP.statementsSent() - tabletsBefore;
        if (!form->Timer2->isActive())
            throw std::runtime_error("the cycle stopped with an error");
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
        open(form->TabMesa, QStringLiteral("select * from CabMesa "));
        open(form->Vendedor, QStringLiteral("select * from vendedor "));
        open(form->MesaPalm,
             QStringLiteral("select mesa, imp, vend from mesa where COZINHA = '9'"));
        form->erro.close();
        form->erro.clearText();
        form->erro.addLine(QStringLiteral("delete from  mesa  where mesa = 'EXCLUIR'"));
        form->erro.execute();
        open(form->MesaPalm, QStringLiteral("select * from mesa where COZINHA = '7'"));
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }

    int tickets = 0;
    std::unique_ptr<TFormPalms> form;

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
    db::Connection m_main;
    db::Connection m_tablets;
    int m_lastId = 0;
};

void measure(const QString& engine, const QString& server, const Size& size, int idleCycles,
             bool headline) {
    Restaurant restaurant(server, size);
    const QString prefix = QStringLiteral("%1_t%2_w%3_k%4_")
                               .arg(engine)
                               .arg(size.tables)
                               .arg(size.waiters)
                               .arg(size.items);

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
    const Cycle plainIdle = restaurant.cycle(Mode::Plain);

    // Busy: K new items, moved by each mode in turn.
    const quint64 itemStatements = restaurant.addItems();
    const int ticketsBefore = restaurant.tickets;
    const Cycle busy = restaurant.cycle(Mode::Fast);
    const int busyTickets = restaurant.tickets - ticketsBefore;
    restaurant.addItems();
    const Cycle plainBusy = restaurant.cycle(Mode::Plain);

    const double idleMs = median(idle);
    const double minimalMs = median(minimal);
    const quint64 busyStatements = busy.mainStatements + busy.tabletStatements;
    const QList<std::pair<QString, double>> times = {
        {QStringLiteral("idle_ms"), idleMs},
        {QStringLiteral("minimal_cycle_ms"), minimalMs},
        {QStringLiteral("idle_vs_minimal"), idleMs / minimalMs},
        {QStringLiteral("plain_idle_ms"), plainIdle.ms},
        {QStringLiteral("idle_speedup_vs_plain"), plainIdle.ms / idleMs},
        {QStringLiteral("busy_ms"), busy.ms},
        {QStringLiteral("plain_busy_ms"), plainBusy.ms},
        {QStringLiteral("busy_speedup_vs_plain"), plainBusy.ms / busy.ms},
        {QStringLiteral("busy_item_statement_share"),
         static_cast<double>(itemStatements) / static_cast<double>(busyStatements)}};
    const QList<std::pair<QString, quint64>> counts = {
        {QStringLiteral("statements_idle"), idleCycle.mainStatements + idleCycle.tabletStatements},
        {QStringLiteral("statements_idle_main"), idleCycle.mainStatements},
        {QStringLiteral("statements_idle_tablets"), idleCycle.tabletStatements},
        {QStringLiteral("plain_statements_idle_main"), plainIdle.mainStatements},
        {QStringLiteral("plain_statements_idle_tablets"), plainIdle.tabletStatements},
        {QStringLiteral("statements_busy"), busyStatements},
        {QStringLiteral("statements_busy_main"), busy.mainStatements},
        {QStringLiteral("statements_busy_tablets"), busy.tabletStatements},
        {QStringLiteral("plain_statements_busy_main"), plainBusy.mainStatements},
        {QStringLiteral("plain_statements_busy_tablets"), plainBusy.tabletStatements},
        {QStringLiteral("busy_item_statements"), itemStatements},
        {QStringLiteral("busy_tickets"), static_cast<quint64>(busyTickets)}};
    for (const auto& [name, value] : times) {
        print(prefix + name, value);
        if (headline)
            print(name, value);
    }
    for (const auto& [name, value] : counts) {
        print(prefix + name, value);
        if (headline)
            print(name, value);
    }
    std::fflush(stdout);
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
    QApplication application(argc, argv);
    QString server;
    QList<Size> sizes = {{100, 20, 60}, {300, 60, 60}};
    int idleCycles = 15;
    const QStringList arguments = application.arguments();
    try {
        for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
            if (arguments[i] == QLatin1String("--server"))
                server = arguments[i + 1];
            else if (arguments[i] == QLatin1String("--sizes"))
                sizes = parseSizes(arguments[i + 1]);
            else if (arguments[i] == QLatin1String("--idle-cycles"))
                idleCycles = std::max(1, arguments[i + 1].toInt());
            else
                throw std::runtime_error("unknown argument " + arguments[i].toStdString());
        }
        printers::setSource([] { return printers::InstalledPrinters{{"PDF"}, "PDF"}; });
        networkaddresses::setSource([] { return QStringList{"10.0.0.2"}; });
        setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
        setRegionalSettings(RegionalSettings::comma());
        for (const Size& size : sizes) {
            const bool first = &size == &sizes.front();
            if (!server.isEmpty())
                measure(QStringLiteral("server"), server, size, idleCycles, first);
            measure(QStringLiteral("embedded"), QString(), size, idleCycles,
                    first && server.isEmpty());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "polling_cycle_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
