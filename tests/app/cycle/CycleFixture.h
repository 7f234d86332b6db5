#pragma once

// The polling cycle on real databases with no window: a sink that records what the cycle
// hands it, and the start-up's database work as the program does it.
//
//   cycletest::RecordingSink sink;
//   PollingCycle cycle(sink);
//   cycletest::connect(cycle, mainDatabase, tabletsDatabase);
//   cycle.run(cycletest::snapshot({"Caixa", "Cozinha", "Bar", "Pizzaria", "Copa"}));

#include "app/core/HeldTicket.h"
#include "app/core/ProgramClock.h"
#include "app/cycle/PollingCycle.h"
#include "app/db/DatabaseError.h"
#include "app/text/TextConventions.h"
#include "platform/LockedFile.h"
#include "platform/RegionalSettings.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestDatabases.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cycletest {

class RecordingSink : public ReportSink {
public:
    void send(const Report& report) override {
        sent.push_back(report);
        if (fail && fail(report))
            throw std::runtime_error("printer out of paper");
    }

    std::vector<Report> sent;
    // A report it answers true for is recorded, then fails.
    std::function<bool(const Report&)> fail;
};

// Both databases named as start-up names them in messages, attached, then the establishment's row,
// the tablets' missing tables and columns, and the flag words, as start-up does.
inline void connect(PollingCycle& cycle, const QString& mainDatabase,
                    const QString& tabletsDatabase) {
    cycle.Logon.setRole(QStringLiteral("principal"));
    cycle.LogonP.setRole(QStringLiteral("dos tablets"));
    cycle.Logon.setDatabase(mainDatabase);
    cycle.LogonP.setDatabase(tabletsDatabase);
    cycle.Logon.connect();
    cycle.LogonP.connect();
    cycle.prepareDatabases();
    cycle.readEstablishmentFlags();
}

// The boxes as given, the port fields empty and the feed lines as start-up leaves them.
inline CycleSnapshot snapshot(const std::array<QString, CycleSnapshot::kPrinters>& boxes,
                              const QString& feedLines = QStringLiteral("7")) {
    CycleSnapshot taken;
    taken.destinations = boxes;
    taken.feedLines = feedLines;
    return taken;
}

// A data folder and both databases of their own, and the cycle over them, made by start().
class CycleSite {
public:
    explicit CycleSite(testsupport::Access access = testsupport::Access::Embedded)
        : m_access(access) {}
    ~CycleSite() { m_cycle.reset(); }
    CycleSite(const CycleSite&) = delete;
    CycleSite& operator=(const CycleSite&) = delete;

    PollingCycle& start() {
        m_cycle.reset();
        m_cycle = std::make_unique<PollingCycle>(sink, heldTicket);
        connect(*m_cycle, mainDatabase(), tablets());
        return *m_cycle;
    }
    PollingCycle& cycle() { return *m_cycle; }

    QString mainDatabase() const { return m_dbs.mainText(m_access); }
    QString tablets() const { return m_dbs.tabletsText(m_access); }
    void onMain(const QString& statement) { testsupport::executeSql(mainDatabase(), statement); }
    void onTablets(const QString& statement) { testsupport::executeSql(tablets(), statement); }

    void writeDataFile(const QString& name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    QString dataPath(const QString& name) const { return m_data.filePath(name); }
    // A data file's bytes, or "<missing>".
    QByteArray dataFile(const QString& name) const {
        QFile file(dataPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void removeDataFile(const QString& name) { QFile::remove(dataPath(name)); }
    QString log() const {
        return QString::fromUtf8(dataFile(QStringLiteral("interface-cuvora.log")));
    }

    RecordingSink sink;
    // The ticket of the pass under way, shared as the program shares it with its signal
    // thread.
    std::shared_ptr<HeldTicket> heldTicket = std::make_shared<HeldTicket>();

private:
    testsupport::Access m_access;
    QTemporaryDir m_data;
    testsupport::TestDatabases m_dbs;
    testsupport::ScopedEnvVar m_dataFolder{"TOBRASK_BARES_DIR", m_data.path()};
    testsupport::ScopedEnvVar m_databaseFolder{"TOBRASK_DB_DIR", m_dbs.folder()};
    std::unique_ptr<PollingCycle> m_cycle;
};

using Rows = QList<QStringList>;

// A tablet row; a null text is stored as NULL.
struct TabletItem {
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

// The rows the point of sale writes in the main database and a tablet in its own.
inline void insertTable(const QString& mainDatabase, const QString& mesa,
                        const QString& vendedor = QStringLiteral("3")) {
    testsupport::executeSql(mainDatabase, "insert into CabMesa (mesa, vendedor, STATUS) values (" +
                                              quotedSql(mesa) + ", " + quotedSql(vendedor) +
                                              ", '0')");
}
inline void insertWaiter(const QString& mainDatabase, const QString& codigo, const QString& nome) {
    testsupport::executeSql(mainDatabase, "insert into vendedor (codigo, Nome) values (" +
                                              quotedSql(codigo) + ", " + quotedSql(nome) + ")");
}
inline void insertTabletItem(const QString& tabletsDatabase, const TabletItem& i) {
    const auto orNull = [](const QString& text) {
        return text.isNull() ? QStringLiteral("NULL") : quotedSql(text);
    };
    testsupport::executeSql(
        tabletsDatabase,
        "insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, "
        "Texto) values (" +
            QString::number(i.id) + ", " + orNull(i.mesa) + ", " + orNull(i.imp) + ", " +
            orNull(i.cozinha) + ", " + orNull(i.vend) + ", " + orNull(i.codigo) + ", " +
            orNull(i.nomep) + ", " + (i.quant.isNull() ? "NULL" : i.quant) + ", " +
            (i.valor.isNull() ? "NULL" : i.valor) + ", " + orNull(i.texto) + ")");
}

// Bad contents for a settings file: garbage, UTF-16, no line ends, a million lines.
struct BadFile {
    std::string name;
    QByteArray bytes;
};

inline QByteArray garbage() {
    QByteArray bytes;
    quint32 state = 12345;
    for (int i = 0; i < 65536; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.append(char(state >> 24));
    }
    return bytes;
}

inline QByteArray millionLines() {
    QByteArray bytes;
    bytes.reserve(3'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        bytes.append("5\r\n");
    return bytes;
}

inline std::vector<BadFile> badFiles() {
    return {BadFile{"BinaryGarbage", garbage()},
            BadFile{"Utf16ByteOrderMark", QByteArray("\xFF\xFE"
                                                     "9\0\r\0\n\0",
                                                     8)},
            BadFile{"Utf16ByteOrderMarkAlone", QByteArray("\xFF\xFE\x41", 3)},
            BadFile{"NoLineEnds", QByteArray(200'000, '7')},
            BadFile{"AMillionLines", millionLines()}};
}

// A bad file's test name: the file's name without its dot, and the kind of bad contents.
template <typename Info> std::string badFileTestName(const Info& info) {
    std::string name = std::get<0>(info.param);
    name.erase(name.find('.'), 1);
    return name + "_" + std::get<1>(info.param).name;
}

// The fixed evening of the polling tests: 09/03/2024 18:05:07, a comma locale.
inline const QDateTime kPollingNow(QDate(2024, 3, 9), QTime(18, 5, 7));
inline const QString kPollingDate = QStringLiteral("09/03/2024 - 18:05:07");
inline const QString kTicketRule = QStringLiteral("- - - - - - - - - - - - - - - - - - -");

// A kitchen ticket's first lines.
inline QStringList ticketHeader(const QString& order, const QString& table, const QString& waiter) {
    return {"PEDIDO       :" + order, "COMANDA/MESA.:" + table, "Garcom :" + waiter, kPollingDate,
            "============================"};
}

// An error that stopped a cycle.
struct CycleError {
    QString text;   // its message, as the error box shows it
    QString logged; // what it concerns and its message, as the log says it
};

// The polling cycle as the program runs it from its timer: start() connects and reads
// DozEdiz.INI as start-up does, each cycle() takes the boxes as they stand, and an error
// stops the cycle with its message kept in errors, as the window's error box shows it.
class PollingSite : public CycleSite {
public:
    explicit PollingSite(testsupport::Access access = testsupport::Access::Embedded)
        : CycleSite(access) {
        // Where each ticket goes: the printer boxes as the operator left them.
        boxes = snapshot({"Caixa", "Cozinha", "Bar", "Pizzaria", "Copa"});
        for (int i = 0; i < CycleSnapshot::kPrinters; ++i)
            boxes.ports[i] = QStringLiteral("porta%1").arg(i);
    }

    // The cycle made anew, as a start of the program makes it; the feed lines are
    // DozEdiz.INI's, or 7.
    PollingCycle& start() {
        PollingCycle& started = CycleSite::start();
        boxes.feedLines = QStringLiteral("7");
        if (QFile::exists(dataPath(QStringLiteral("DozEdiz.INI")))) {
            if (const std::optional<int> feed = started.readDozEdiz().feedLineCount())
                boxes.feedLines = QString::number(*feed);
        }
        return started;
    }

    // One cycle; false, with the error's message kept, when it stopped on an error.
    bool runCycle() {
        try {
            cycle().run(boxes);
            return true;
        } catch (const std::exception& error) {
            errors.push_back({QString::fromUtf8(error.what()), db::errorMessage(error)});
            return false;
        }
    }

    void table(const QString& mesa, const QString& vendedor = QStringLiteral("3")) {
        insertTable(mainDatabase(), mesa, vendedor);
    }
    void waiter(const QString& codigo, const QString& nome) {
        insertWaiter(mainDatabase(), codigo, nome);
    }
    void item(const TabletItem& i) { insertTabletItem(tablets(), i); }
    void extra(int idmesa, const QString& text) {
        onTablets("insert into complemento (idmesa, complemento) values (" +
                  QString::number(idmesa) + ", " + quotedSql(text) + ")");
    }

    Rows main(const QString& select, const QStringList& columns) const {
        return testsupport::selectRows(mainDatabase(), select, columns);
    }
    Rows tabletRows(const QString& select, const QStringList& columns) const {
        return testsupport::selectRows(tablets(), select, columns);
    }
    Rows tabletItems() const {
        return tabletRows("select id, mesa from mesa order by id", {"id", "mesa"});
    }
    Rows mainItems() const {
        return main("select id, idmesa, codigo, valor, quant, mesa, texto, impressora, nomep, "
                    "vend from mesa order by id",
                    {"id", "idmesa", "codigo", "valor", "quant", "mesa", "texto", "impressora",
                     "nomep", "vend"});
    }
    Rows monitorRows() const {
        return main("select idmesa, hora, mesa, garcom, caixa, produto, quant, compl from "
                    "cozinha2 order by id",
                    {"idmesa", "hora", "mesa", "garcom", "caixa", "produto", "quant", "compl"});
    }

    CycleSnapshot boxes;
    // The errors that stopped a cycle, in order.
    std::vector<CycleError> errors;

private:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
    programclock::ScopedClock m_clock{[] { return kPollingNow; }};
};

// A test on both kinds of access (embedded, through the server) with a polling site.
class PollingSiteTest : public testsupport::FirebirdTest {
protected:
    void SetUp() override {
        testsupport::FirebirdTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        f = std::make_unique<PollingSite>(access());
    }
    void TearDown() override { f.reset(); }
    std::unique_ptr<PollingSite> f;
};

} // namespace cycletest
