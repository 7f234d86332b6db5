#pragma once

#include "app/core/DozEdizSettings.h"
#include "app/core/HeldTicket.h"
#include "app/core/PassJournal.h"
#include "app/core/TabJunta.h"
#include "app/core/UnmovableRows.h"
#include "app/cycle/CycleSnapshot.h"
#include "app/cycle/DatabaseSilenceLog.h"
#include "app/cycle/Report.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/db/Table.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace db {
class DatabaseError;
}
class PassFilter;
struct ColumnComparison;

// The order bridge without a window: the two database connections and every query, the
// start-up's schema work, and one polling cycle at a time. A cycle moves the tablets' new
// items into the main database pass by pass, hands each pass's kitchen ticket and each
// requested bill to the sink, and keeps the pass under way in the pass journal, so that a
// pass cut short is finished, not repeated. What the cycle reads of the window comes in a
// snapshot. One thread.
class PollingCycle {
public:
    // The held ticket is shared with whoever logs it at a forced end; a cycle of its own
    // when none is given.
    explicit PollingCycle(ReportSink& sink,
                          std::shared_ptr<HeldTicket> heldTicket = std::make_shared<HeldTicket>());
    PollingCycle(const PollingCycle&) = delete;
    PollingCycle& operator=(const PollingCycle&) = delete;
    ~PollingCycle();

    // One cycle: the pass a kill cut short, the passes of the new items, the bill requests.
    void run(const CycleSnapshot& snapshot);

    // Fast skips the passes that surely find no new item (the program's mode); Plain runs
    // every pass of the nesting. Both leave the same databases, tickets and counter; the
    // benchmark and the tests compare them.
    enum class PollingMode { Fast, Plain };
    PollingMode pollingMode = PollingMode::Fast;

    // Start-up, once both databases are connected: the establishment's row (kept open for
    // the whole run), the tablets' missing tables and columns, and the flag the tablets
    // read, in this order.
    void prepareDatabases();
    // The establishment's flag words read again.
    void readEstablishmentFlags();

    // The bill of the bill request on MesaPalm's current row; where it goes is left empty.
    Report composeBill();

    // DozEdiz.INI, kept as printerSettings; the encoding it was read in is kept for the
    // next write.
    DozEdizSettings readDozEdiz();
    // DozEdiz.INI as last read or saved: the ticket's font size falls back on it when the
    // file has gone.
    DozEdizSettings printerSettings;

    QString EstablishmentName; // on the bill
    int SCC4 = 0;              // flag words of the first empresa row
    int SCC5 = 0;

    // Database components. The silence log outlives the connections, so a frozen server's
    // last calls are logged too.
    DatabaseSilenceLog m_databaseSilenceLog;
    db::Connection Logon;  // main database
    db::Connection LogonP; // tablets' database
    db::Query TabMesa{Logon};
    db::Query Vendedor{Logon};
    db::Query Atualiza{Logon};
    db::Query Atualiza3{Logon};
    db::Query CabMesa{Logon};
    db::Query MesaItem{Logon};
    db::Query Empresa{Logon};
    db::Query MesaPalm{LogonP};
    db::Query Complemento{LogonP};
    db::Query erro{LogonP};
    db::Query erro2{LogonP};
    db::Table Fechar{
        LogonP, QStringLiteral("FECHAR"), {QStringLiteral("FECHAR"), QStringLiteral("ABRIR")}};
    db::Table Promocao{LogonP, QStringLiteral("PROMOCAO"), {QStringLiteral("PROMOCAO")}};
    // The grouping of a bill's items.
    ::TabJunta TabJunta;

private:
    // Start-up's schema work.
    void openEstablishment();
    void createMissingTables();
    void addMissingColumns();
    void tellTabletsTheLargerFlag();

    // The passes.
    void pollTablesOnce();
    std::unique_ptr<PassFilter> planPasses(const QStringList& tables);
    std::optional<std::array<ColumnComparison, 3>> describeItemColumns();
    void reportItemsOfTablesNotOpen(const PassFilter* filter, const QStringList& tables);
    void reportRowsThatNeverMove(std::optional<std::array<ColumnComparison, 3>> columns,
                                 std::optional<QStringList> waiters);
    QStringList waiterCodes();
    bool mainDatabaseHasWriteTriggers();
    void readNewItems(PassFilter& filter);
    bool tryReadNewItems(PassFilter& filter);
    void runPass(int printer, const QString& tableNumber);
    void openPassItems(int printer, const QString& tableNumber);
    bool passHasMovableItems();
    PassRecord beginPassTicket(const QString& tableNumber);
    struct PassItem;
    std::vector<PassItem> readPassItems(const QList<PassRecord::Copy>& copies);
    bool writeItem(int printer, const QString& tableNumber, const PassItem& item);
    void flagOnTablet(qint64 tabletId);
    void dropMonitorRows(qint64 mainId);
    void setAside(const PassItem& item, const db::DatabaseError& error);
    QString rowSignature() const;
    void sendPassTicket(const PassRecord& record, const QList<PassRecord::Item>& moved);
    void logInterruptedPass(const PassRecord& record, int moved, const std::exception_ptr& error);
    void answerBillRequests();
    bool tabletRowIsReadable(bool item);
    QString takeOrderNumber();
    QStringList kitchenTicketItemLines();
    // The pass a kill or an error cut short.
    void finishInterruptedPass();
    QDateTime now() const;

    ReportSink& m_sink;
    const std::shared_ptr<HeldTicket> m_heldTicket; // the pass under way's ticket
    CycleSnapshot m_snapshot;                       // the running cycle's
    PassJournal m_passJournal;
    QSet<QString> m_reportedUnreadableIds;  // logged once per run
    QSet<QString> m_reportedTablesNotOpen;  // logged once per run
    QHash<QString, QString> m_setAsideRows; // tablet id: the row the main database refused
    int m_itemsMoved = 0;                   // items flagged in this run
    bool m_tabletItemTriggers = false;      // as the last cycle's catalogue read found

    // The rows of the last read of the new items, and the ids of rows that never move logged
    // in this run.
    std::vector<TabletRow> m_tabletRowsRead;
    QSet<QString> m_reportedUnmovableIds;
};
