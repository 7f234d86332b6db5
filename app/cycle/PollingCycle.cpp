#include "app/cycle/PollingCycle.h"

#include "app/core/Destination.h"
#include "app/core/HeldTicket.h"
#include "app/core/KitchenTicketLines.h"
#include "app/core/OrderCounter.h"
#include "app/core/PassFilter.h"
#include "app/core/ProgramClock.h"
#include "app/core/ProgramLog.h"
#include "app/core/TableNumber.h"
#include "app/core/UnmovableRows.h"
#include "app/db/DatabaseError.h"
#include "app/text/TextConventions.h"
#include "app/text/UnitBibliotecapalm.h"
#include "platform/DataFolder.h"
#include "platform/RegionalSettings.h"

#include <QMap>
#include <QScopeGuard>

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>
#include <variant>

namespace {

constexpr int kLastPrinter = 5;

const QString kSelectTables = QStringLiteral("select * from CabMesa ");
const QString kSelectWaiters = QStringLiteral("select * from vendedor ");

// How the tablets' database holds the three columns an item select compares.
const QStringList kItemColumnNames = {QStringLiteral("MESA"), QStringLiteral("IMP"),
                                      QStringLiteral("VEND")};
const QString kDescribeItemColumns =
    columnCatalogueSelect(QStringLiteral("MESA"), kItemColumnNames);

QString q(const QString& text) {
    return quotedSql(text);
}

// A column read as a whole number. A text column of fixed width (CHAR) comes padded with
// blanks, which do not make its number unreadable.
qint64 integerOf(const db::Field& field) {
    if (const auto* text = std::get_if<QString>(&field.value())) {
        QString unpadded = *text;
        while (unpadded.endsWith(u' '))
            unpadded.chop(1);
        return db::Field(field.name(), unpadded).asInteger();
    }
    return field.asInteger();
}

// A column read as a whole number, or nothing when it does not read as one. A NULL id
// counts as unreadable: it reads as 0, and the row it stands for could then never be
// flagged or deleted by id, so it would be moved, or billed, again in every cycle.
std::optional<qint64> wholeNumber(const db::Field& field, bool nullAllowed) {
    if (field.isNull())
        return nullAllowed ? std::optional<qint64>(0) : std::nullopt;
    try {
        return integerOf(field);
    } catch (const db::DatabaseError&) {
        return std::nullopt;
    }
}

// An id must also read back as written: a text id such as "012" or " 12" reads as 12, and
// "where id = '12'" would never flag or delete its row, so it would move again every cycle.
// Trailing blanks are no matter, Firebird compares texts as if padded with blanks.
bool idIsExact(const db::Field& id) {
    const std::optional<qint64> value = wholeNumber(id, false);
    if (!value)
        return false;
    QString text = id.asText();
    while (text.endsWith(u' '))
        text.chop(1);
    return QString::number(*value) == text;
}

// A kitchen ticket the kitchen never got goes to the program's log whole, so the operator
// can find it and print it again.
void logLostTicket(const QString& what, int printer, const QString& destination,
                   const QString& port, const std::exception_ptr& error, const QString& ticket) {
    HeldTicket::logLost(what, printer, destination, port, db::errorMessage(error), ticket);
}

} // namespace

PollingCycle::PollingCycle(ReportSink& sink, std::shared_ptr<HeldTicket> heldTicket)
    : m_sink(sink), m_heldTicket(std::move(heldTicket)) {
    if (!m_heldTicket)
        throw std::invalid_argument("PollingCycle: no held ticket");
}

PollingCycle::~PollingCycle() = default;

void PollingCycle::run(const CycleSnapshot& snapshot) {
    m_snapshot = snapshot;
    finishInterruptedPass();
    pollTablesOnce();
    answerBillRequests();
}

// Every pass of the nesting runs in the order it is written: tables, waiters, printer
// numbers. The fast mode leaves out the passes whose item select surely returns no row and
// surely raises no error, which is everything a left-out pass would have done.
// - It reads the waiters once. The nesting reads them anew for each table row, so after a
//   pass that wrote they are read again before the next row when triggers of the main
//   database may have changed them.
// - After a pass that moved items, the moved ones may carry the table text 'EXCLUIR'; when
//   triggers on the tablets' item table may have written more, the new items are read again.
void PollingCycle::pollTablesOnce() {
    TabMesa.open({kSelectTables});
    QStringList tables;
    for (; !TabMesa.eof(); TabMesa.next())
        tables.append(tableNumber(TabMesa.field(QStringLiteral("mesa")).asText()));
    TabMesa.first();
    std::unique_ptr<PassFilter> filter;
    if (pollingMode == PollingMode::Fast && !tables.isEmpty())
        filter = planPasses(tables);
    reportItemsOfTablesNotOpen(filter.get(), tables);
    bool waitersRead = static_cast<bool>(filter);
    std::optional<bool> mainTriggers; // asked after the first write
    for (int table = 0; !TabMesa.eof(); TabMesa.next(), ++table) {
        if (!waitersRead) {
            Vendedor.open({kSelectWaiters});
            if (filter)
                filter->setWaiters(waiterCodes());
        }
        waitersRead = static_cast<bool>(filter);
        if (filter && !filter->mayFindItems(table))
            continue;
        Vendedor.first();
        for (int waiter = 0; !Vendedor.eof(); Vendedor.next(), ++waiter) {
            for (int printer = 0; printer <= kLastPrinter; ++printer) {
                if (filter && !filter->mayFindItems(table, waiter, printer))
                    continue;
                const int movedBefore = m_itemsMoved;
                runPass(printer, tableNumber(TabMesa.field(QStringLiteral("mesa")).asText()));
                if (filter && m_itemsMoved != movedBefore) {
                    if (!m_tabletItemTriggers)
                        filter->itemsFlagged();
                    else if (!tryReadNewItems(*filter))
                        filter.reset(); // the rest of the cycle runs every pass
                    if (!mainTriggers)
                        mainTriggers = mainDatabaseHasWriteTriggers();
                    waitersRead = filter && !*mainTriggers;
                }
            }
        }
    }
    erro.execute({QStringLiteral("delete from  mesa  where mesa = 'EXCLUIR'")});
}

// The waiters, the table numbers, how the tablets' database compares the item columns and
// which items are new. Nothing here writes; on any doubt or error the cycle runs every pass
// instead, and meets the error, if it is real, where the nesting meets it.
std::unique_ptr<PassFilter> PollingCycle::planPasses(const QStringList& tables) {
    try {
        Vendedor.open({kSelectWaiters});
        const QStringList waiters = waiterCodes();
        const std::optional<std::array<ColumnComparison, 3>> columns = describeItemColumns();
        if (!columns)
            return nullptr;
        auto filter = std::make_unique<PassFilter>(*columns, tables, waiters);
        readNewItems(*filter);
        return filter;
    } catch (const std::exception&) {
        TabMesa.first();
        return nullptr;
    }
}

// How the tablets' database compares the columns mesa, imp and vend of its items, or nothing
// when it is not sure (a column missing, a database trigger). Throws on a database error.
std::optional<std::array<ColumnComparison, 3>> PollingCycle::describeItemColumns() {
    erro2.open({kDescribeItemColumns});
    const CatalogueColumns catalogue = describeCatalogueColumns(erro2.result(), kItemColumnNames);
    erro2.close();
    if (catalogue.tableTriggers)
        m_tabletItemTriggers = *catalogue.tableTriggers;
    // A database trigger may write on any commit, even a select's.
    if (catalogue.databaseTriggers)
        return std::nullopt;
    std::array<ColumnComparison, 3> columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!catalogue.columns[i])
            return std::nullopt;
        columns[i] = *catalogue.columns[i];
    }
    return columns;
}

// Tablet items that wait for a table not open in CabMesa are never moved: a mistyped table
// number would go unseen. Each table text is logged once per run. The fast path's read of the
// new items serves; the plain nesting, or a cycle the fast path does not plan, reads them here.
// Rows that can never move are logged next, from the same read.
// The check runs before any pass and never stops the cycle: it writes nothing but the log.
void PollingCycle::reportItemsOfTablesNotOpen(const PassFilter* filter, const QStringList& tables) {
    std::unique_ptr<PassFilter> own;
    if (!filter) {
        try {
            // With no table open no item has one, whatever the comparison; the flag text
            // 'EXCLUIR' is still recognised, as a binary collation compares it.
            std::array<ColumnComparison, 3> columns;
            columns[0].kind = ColumnComparison::Kind::Exact;
            columns[0].holdsWindows1252 = true;
            if (!tables.isEmpty()) {
                const auto described = describeItemColumns();
                if (!described)
                    return;
                columns = *described;
            }
            own = std::make_unique<PassFilter>(columns, tables, QStringList());
            readNewItems(*own);
        } catch (const std::exception&) {
            return;
        }
        filter = own.get();
    }
    QMap<QString, int> waiting;
    for (const std::size_t item : filter->itemsOfNoTable())
        ++waiting[db::Field(QStringLiteral("mesa"), filter->newItems()[item][0]).asText()];
    for (auto it = waiting.cbegin(); it != waiting.cend(); ++it) {
        if (m_reportedTablesNotOpen.contains(it.key()))
            continue;
        m_reportedTablesNotOpen.insert(it.key());
        programlog::write(tableNotOpenEntry(it.key(), it.value()));
    }
    if (own)
        reportRowsThatNeverMove(tables.isEmpty() ? std::nullopt : std::optional(filter->columns()),
                                std::nullopt);
    else
        reportRowsThatNeverMove(filter->columns(), filter->waiters());
}

// The rows of the last read of the new items that no pass can ever move, each logged once
// per run by its id. What the fast path's plan has not given (the columns with no table open,
// the waiters) is read here, only when there are rows to judge. Errors are no errors of the
// cycle: the check then says nothing.
void PollingCycle::reportRowsThatNeverMove(std::optional<std::array<ColumnComparison, 3>> columns,
                                           std::optional<QStringList> waiters) {
    if (m_tabletRowsRead.empty())
        return;
    try {
        if (!columns) {
            columns = describeItemColumns();
            if (!columns)
                return;
        }
        if (!waiters) {
            Vendedor.open({kSelectWaiters});
            waiters = waiterCodes();
        }
        const UnmovableRows check(*columns, *waiters);
        for (const TabletRow& row : m_tabletRowsRead) {
            const std::vector<UnmovableReason> reasons = check.reasons(row);
            const QString id = tabletRowIdText(row);
            if (reasons.empty() || m_reportedUnmovableIds.contains(id))
                continue;
            m_reportedUnmovableIds.insert(id);
            programlog::write(unmovableRowEntry(row, reasons));
        }
    } catch (const std::exception&) {
    }
}

// Whether writing the main database's items and kitchen-monitor rows may fire triggers,
// which could change the waiters the nesting reads anew for each table row.
// An error counts as yes.
bool PollingCycle::mainDatabaseHasWriteTriggers() {
    try {
        Atualiza3.open({QStringLiteral("select count(*) as triggers from rdb$triggers t "
                                       "where (t.rdb$relation_name in ('MESA', 'COZINHA2') "
                                       "or t.rdb$relation_name is null) "
                                       "and coalesce(t.rdb$trigger_inactive, 0) = 0 "
                                       "and coalesce(t.rdb$system_flag, 0) = 0")});
        const bool triggers = Atualiza3.field(QStringLiteral("triggers")).asInteger() != 0;
        Atualiza3.close();
        return triggers;
    } catch (const std::exception&) {
        return true;
    }
}

QStringList PollingCycle::waiterCodes() {
    QStringList codes;
    for (Vendedor.first(); !Vendedor.eof(); Vendedor.next())
        codes.append(Vendedor.field(QStringLiteral("codigo")).asText());
    Vendedor.first();
    return codes;
}

// A read that fails here is no error of the cycle: the nesting would not have made it.
bool PollingCycle::tryReadNewItems(PassFilter& filter) {
    try {
        readNewItems(filter);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Every item select asks for COZINHA '9' too: the rows with it are all an item select can
// return. The rows that are neither items nor bill requests come in the same read, for the
// log of rows that never move; the database says which rows are items, as it compares.
void PollingCycle::readNewItems(PassFilter& filter) {
    const QString item = QStringLiteral("COZINHA = ") + q(QStringLiteral("9"));
    MesaPalm.open({QStringLiteral("select id, mesa, imp, COZINHA, vend, case when ") + item +
                   QStringLiteral(" then 1 else 0 end as item from mesa where ") + item +
                   QStringLiteral(" or COZINHA is null or COZINHA <> ") + q(QStringLiteral("7"))});
    std::vector<PassFilter::Item> items;
    std::vector<TabletRow> rows;
    for (; !MesaPalm.eof(); MesaPalm.next()) {
        const auto value = [this](const char* column) {
            return MesaPalm.field(QString::fromLatin1(column)).value();
        };
        rows.push_back({value("id"), value("mesa"), value("imp"), value("COZINHA"), value("vend"),
                        MesaPalm.field(QStringLiteral("item")).asInteger() == 1});
        if (rows.back().item)
            items.push_back({rows.back().mesa, rows.back().imp, rows.back().vend});
    }
    MesaPalm.close();
    filter.setNewItems(items);
    m_tabletRowsRead = std::move(rows);
}

// One tablet item of a pass, as read before anything of it is written.
struct PollingCycle::PassItem {
    PassRecord::Item journal; // tablet id, main id, codigo, monitor rows, ticket lines
    QString mesa;
    QString texto;
    QString nomep;
    QString vend;
    qint64 vendNumber = 0;
    double valor = 0;
    double quant = 0;
    QString signature; // the row as read
};

// One table, one waiter, one printer number: its new items into the main database and
// their ticket to the printer's destination. Everything the pass will write is read first
// and kept in the pass journal, so that a pass cut short is finished, not repeated.
void PollingCycle::runPass(int printer, const QString& table) {
    // The boxes of printers 1 to 4; printer 5 is the first kitchen's again.
    const int boxes[] = {0, 1, 2, 3, 4, 1};
    const auto copyTo = [this](int box) {
        return PassRecord::Copy{m_snapshot.destinations[box], m_snapshot.ports[box]};
    };
    QList<PassRecord::Copy> copies;
    if (printer == 0)
        copies.append({destinationtext::nowhere, QString()});
    else
        copies.append(copyTo(boxes[printer]));
    if (printer == kLastPrinter)
        copies.append(copyTo(2));

    openPassItems(printer, table);
    // Items that cannot be moved whole are left out before anything of them is written,
    // so a pass of such items alone takes no order number either.
    if (!passHasMovableItems())
        return;
    PassRecord record = beginPassTicket(table);
    record.printer = printer;
    record.copies = copies;
    const std::vector<PassItem> items = readPassItems(copies);
    for (const PassItem& item : items)
        record.items.append(item.journal);
    m_passJournal.begin(record);

    // Held from the first item moved until the ticket is sent or logged.
    const auto released = qScopeGuard([this] { m_heldTicket->clear(); });
    QList<PassRecord::Item> moved;
    QStringList held = record.header; // the ticket as far as its items are moved
    try {
        for (const PassItem& item : items) {
            if (!writeItem(printer, table, item))
                continue;
            moved.append(item.journal);
            held += item.journal.lines;
            m_heldTicket->hold(printer, copies[0].destination, copies[0].port, held.join(u'\n'));
        }
    } catch (...) {
        logInterruptedPass(record, static_cast<int>(moved.size()), std::current_exception());
        throw;
    }
    if (!moved.isEmpty())
        sendPassTicket(record, moved);
    m_passJournal.finish();
}

// The pass that a kill, a crash or an error cut short: each of its items whose main row was
// written is flagged on the tablet (it may not be yet), and their ticket is sent now; an
// item whose main row was not written loses its kitchen-monitor rows, if any, and is moved
// by a pass of its own as a new item.
void PollingCycle::finishInterruptedPass() {
    const std::optional<PassRecord> record = m_passJournal.pending();
    if (!record)
        return;
    QList<PassRecord::Item> moved;
    for (const PassRecord::Item& item : record->items) {
        // The id alone could be another row's, where the generator lags behind the table.
        Atualiza.open({QStringLiteral("select id from mesa where id = ") +
                       q(QString::number(item.mainId)) + QStringLiteral(" and codigo = ") +
                       q(item.codigo)});
        const bool written = !Atualiza.eof();
        Atualiza.close();
        if (written) {
            flagOnTablet(item.tabletId);
            moved.append(item);
        } else if (item.monitorRows > 0) {
            dropMonitorRows(item.mainId);
        }
    }
    programlog::write(
        QStringLiteral("Passagem interrompida concluída (pedido %1, mesa '%2', "
                       "impressora %3): %4 de %5 item(ns) estavam no banco "
                       "principal e foram marcados no tablet%6; os outros seguem "
                       "como itens novos.")
            .arg(record->orderNumber, record->table, QString::number(record->printer),
                 QString::number(moved.size()), QString::number(record->items.size()),
                 moved.isEmpty() ? QString() : QStringLiteral(", e o seu pedido é enviado agora")));
    if (!moved.isEmpty())
        sendPassTicket(*record, moved);
    m_passJournal.finish();
}

// The waiter's items of the table for this printer, in MesaPalm.
void PollingCycle::openPassItems(int printer, const QString& table) {
    MesaPalm.open({QStringLiteral("select * from mesa where mesa = ") + q(table) +
                   QStringLiteral(" and imp = ") + q(QString::number(printer)) +
                   QStringLiteral(" and COZINHA = ") + q(QStringLiteral("9")) +
                   QStringLiteral(" and vend = ") +
                   q(Vendedor.field(QStringLiteral("codigo")).asText()) +
                   QStringLiteral(" order by imp,mesa ")});
}

bool PollingCycle::passHasMovableItems() {
    bool anyMovable = false;
    for (MesaPalm.first(); !MesaPalm.eof(); MesaPalm.next())
        anyMovable = tabletRowIsReadable(true) || anyMovable;
    return anyMovable;
}

// The ticket's font, number, header and feed lines, taken now.
PassRecord PollingCycle::beginPassTicket(const QString& table) {
    if (datafolder::fileExists(QStringLiteral("DozEdiz.INI")))
        readDozEdiz();
    PassRecord record;
    record.fontSize = kitchenTicketFontSize(printerSettings.fontSize);
    record.orderNumber = takeOrderNumber();
    record.table = table;
    record.waiter = Vendedor.field(QStringLiteral("Nome")).asText();
    record.header = kitchenTicketHeader(record.orderNumber, table, record.waiter, now());
    record.feed = kitchenTicketFeedLines(m_snapshot.feedLines);
    return record;
}

// The pass's items with their ticket lines and the main ids they get; nothing is written
// yet but the generator's advance.
std::vector<PollingCycle::PassItem>
PollingCycle::readPassItems(const QList<PassRecord::Copy>& copies) {
    const auto isMonitor = [](const QString& text) {
        return Destination::parse(text, DestinationUse::KitchenTicket).kind ==
               Destination::Kind::KitchenMonitor;
    };
    const int monitorRows = static_cast<int>(
        std::count_if(copies.begin(), copies.end(),
                      [&](const PassRecord::Copy& copy) { return isMonitor(copy.destination); }));
    const auto item = [this](const char* column) {
        return MesaPalm.field(QString::fromLatin1(column));
    };
    std::vector<PassItem> items;
    for (MesaPalm.first(); !MesaPalm.eof(); MesaPalm.next()) {
        if (!tabletRowIsReadable(true))
            continue;
        PassItem read;
        read.journal.tabletId = integerOf(item("id"));
        read.journal.monitorRows = monitorRows;
        read.journal.codigo = item("Codigo").asText();
        read.valor = item("Valor").asFloat();
        read.quant = item("Quant").asFloat();
        read.mesa = item("Mesa").asText();
        read.texto = item("texto").asText();
        read.nomep = item("Nomep").asText();
        read.vend = item("Vend").asText();
        read.vendNumber = integerOf(item("Vend"));
        read.signature = rowSignature();
        read.journal.lines = kitchenTicketItemLines();
        Atualiza.open({QStringLiteral("SELECT GEN_ID(MESA,1) AS teste FROM GeraID ")});
        read.journal.mainId = Atualiza.field(QStringLiteral("teste")).asInteger();
        items.push_back(std::move(read));
    }
    return items;
}

// A kitchen printer that fails loses its ticket, the items stay moved and the cycle goes
// on; the ticket is kept in the log. The last printer's ticket goes to the second kitchen
// again.
void PollingCycle::sendPassTicket(const PassRecord& record, const QList<PassRecord::Item>& moved) {
    Report ticket;
    ticket.kind = ReportKind::KitchenTicket;
    ticket.lines = sendableLines(record.ticket(moved));
    ticket.fontSize = record.fontSize;
    ticket.subject = {.orderNumber = record.orderNumber,
                      .printer = record.printer,
                      .table = record.table,
                      .waiter = record.waiter,
                      .items = static_cast<int>(moved.size())};
    m_heldTicket->clear();
    for (qsizetype copy = 0; copy < record.copies.size(); ++copy) {
        const PassRecord::Copy& to = record.copies[copy];
        ticket.destination = to.destination;
        ticket.port = to.port;
        ticket.subject.secondCopy = copy > 0;
        try {
            m_sink.send(ticket);
        } catch (...) {
            logLostTicket(
                copy == 0 ? QStringLiteral("Pedido da cozinha não impresso")
                          : QStringLiteral("Pedido da cozinha não impresso (segunda via)"),
                record.printer, to.destination, to.port, std::current_exception(), ticket.text());
        }
    }
}

// The item's kitchen-monitor rows, its main row, and its flag on the tablet. False when the
// main database refuses the item's own values: the item is then left on the tablet as it is,
// with nothing of it in the main database, and logged.
bool PollingCycle::writeItem(int printer, const QString& table, const PassItem& item) {
    const QString id = QString::number(item.journal.mainId);
    int monitorRowsWritten = 0;
    try {
        for (; monitorRowsWritten < item.journal.monitorRows; ++monitorRowsWritten) {
            const QDateTime when = now();
            Atualiza.execute(
                {QStringLiteral("Insert Into cozinha2 "
                                "(id,idmesa,hora,mesa,garcom,caixa,produto,quant,compl) values("),
                 QStringLiteral("GEN_ID(COZINHA2,1),"), q(id) + u',',
                 q(textPiece(formatShortDate(when) + u' ' + formatLongTime(when), 1, 20)) + u',',
                 q(table) + u',', q(item.vend) + u',', q(QStringLiteral("0")) + u',',
                 q(item.nomep) + u',', q(FloatToSqlText(item.quant)) + u',',
                 q(StripAccents(textPiece(item.texto, 1, 28))) + u')'});
        }
        Atualiza.execute(
            {QStringLiteral(
                 "insert into mesa "
                 "(id,idmesa,codigo,valor,quant,mesa,texto,impressora,nomep,vend) values ("),
             q(id) + u',', q(id) + u',', q(item.journal.codigo) + u',',
             q(FloatToSqlText(item.valor)) + u',', q(FloatToSqlText(item.quant)) + u',',
             q(item.mesa) + u',', q(textPiece(item.texto, 1, 36)) + u',',
             q(QString::number(printer)) + u',', q(item.nomep) + u',',
             q(QString::number(item.vendNumber)) + u')'});
    } catch (const db::DatabaseError& error) {
        if (!error.refusesValues())
            throw;
        if (monitorRowsWritten > 0)
            dropMonitorRows(item.journal.mainId);
        setAside(item, error);
        return false;
    }
    flagOnTablet(item.journal.tabletId);
    return true;
}

void PollingCycle::flagOnTablet(qint64 tabletId) {
    ++m_itemsMoved;
    erro.execute({QStringLiteral("update  mesa set mesa = 'EXCLUIR' where id = ") +
                  q(QString::number(tabletId))});
}

// The kitchen-monitor rows of an item whose main row was never written.
void PollingCycle::dropMonitorRows(qint64 mainId) {
    Atualiza.execute(
        {QStringLiteral("delete from cozinha2 where idmesa = ") + q(QString::number(mainId))});
}

// A tablet row the main database will not take as it is stays on the tablet; it is tried
// again only once it has changed, or in the next run.
void PollingCycle::setAside(const PassItem& item, const db::DatabaseError& error) {
    const QString id = QString::number(item.journal.tabletId);
    m_setAsideRows.insert(id, item.signature);
    programlog::write(
        QStringLiteral("Item do tablet deixado no lugar (id %1, mesa '%2', codigo "
                       "'%3'): o banco principal não aceita os seus valores: %4. "
                       "Corrija o item no tablet; os outros itens seguem.")
            .arg(id, item.mesa, item.journal.codigo, programlog::clause(error.message())));
}

// What the row on MesaPalm holds, to tell whether a row set aside has changed since.
QString PollingCycle::rowSignature() const {
    QStringList values;
    for (const char* column :
         {"mesa", "imp", "vend", "codigo", "Nomep", "Quant", "Valor", "Texto", "COZINHA"})
        values.append(MesaPalm.field(QString::fromLatin1(column)).asText());
    return values.join(QChar(0x1f));
}

void PollingCycle::logInterruptedPass(const PassRecord& record, int moved,
                                      const std::exception_ptr& error) {
    programlog::write(QStringLiteral("Passagem interrompida (pedido %1, mesa '%2', impressora "
                                     "%3, %4 de %5 item(ns) gravados): %6. Ela é concluída, e o "
                                     "pedido enviado, quando a leitura dos pedidos voltar.")
                          .arg(record.orderNumber, record.table, QString::number(record.printer),
                               QString::number(moved), QString::number(record.items.size()),
                               programlog::clause(db::errorMessage(error))));
}

void PollingCycle::answerBillRequests() {
    MesaPalm.open({QStringLiteral("select * from mesa where COZINHA = ") + q(QStringLiteral("7"))});
    for (; !MesaPalm.eof(); MesaPalm.next()) {
        if (!tabletRowIsReadable(false))
            continue;
        const qint64 requestId = integerOf(MesaPalm.field(QStringLiteral("id")));
        const QString table = MesaPalm.field(QStringLiteral("Mesa")).asText();
        Report bill = composeBill();
        bill.destination = m_snapshot.destinations[0];
        bill.port = m_snapshot.ports[0];
        CabMesa.execute(
            {QStringLiteral("Update CabMesa set STATUS = '1' where mesa = ") + q(table)});
        m_sink.send(bill);
        erro.execute(
            {QStringLiteral("delete from mesa where id = ") + q(QString::number(requestId))});
        CabMesa.close();
        MesaItem.close();
    }
}

// Whether the row on MesaPalm can be moved or answered whole: its id, and an item's Vend,
// must read as whole numbers, an item's Quant and Valor as numbers. A row that cannot stays
// on the tablet untouched and is logged once per run, so one bad row neither stops polling
// nor floods the log. An item the main database refused stays aside until it changes.
bool PollingCycle::tabletRowIsReadable(bool item) {
    const db::Field id = MesaPalm.field(QStringLiteral("id"));
    const db::Field vend = MesaPalm.field(QStringLiteral("Vend"));
    const auto readsAsNumber = [this](const char* column) {
        try {
            MesaPalm.field(QString::fromLatin1(column)).asFloat();
            return true;
        } catch (const db::DatabaseError&) {
            return false;
        }
    };
    QString unreadable;
    if (!idIsExact(id))
        unreadable = QStringLiteral("id não é um número inteiro");
    else if (item && !wholeNumber(vend, true))
        unreadable = QStringLiteral("vend não é um número inteiro");
    else if (item && !readsAsNumber("Quant"))
        unreadable = QStringLiteral("Quant não é um número");
    else if (item && !readsAsNumber("Valor"))
        unreadable = QStringLiteral("Valor não é um número");
    if (unreadable.isEmpty()) {
        if (!item)
            return true;
        const auto setAside = m_setAsideRows.constFind(QString::number(integerOf(id)));
        return setAside == m_setAsideRows.cend() || *setAside != rowSignature();
    }
    const QString idText = id.isNull() ? QStringLiteral("NULL") : id.asText();
    if (!m_reportedUnreadableIds.contains(idText)) {
        m_reportedUnreadableIds.insert(idText);
        programlog::write(
            QStringLiteral("%1 do tablet deixado no lugar (id %2, mesa '%3', vend '%4'): %5.")
                .arg(item ? QStringLiteral("Item") : QStringLiteral("Pedido de conta"), idText,
                     MesaPalm.field(QStringLiteral("Mesa")).asText(), vend.asText(), unreadable));
    }
    return false;
}

// The number of the next kitchen ticket from pedido.INI, which is written back advanced
// before any item of the pass moves.
QString PollingCycle::takeOrderNumber() {
    const QString held = OrderCounter::read().next;
    QString number = held;
    // 64 bits: a counter never wraps to negative numbers.
    std::optional<qint64> value = readInt64(number);
    if (!value || *value == std::numeric_limits<qint64>::max()) {
        number = QStringLiteral("1");
        value = 1;
    }
    OrderCounter{QString::number(*value + 1)}.write();
    // Said once the file holds a number again, so that a write retried every cycle does not
    // repeat it. A missing or empty file is a first start; anything else was meant as a number.
    if (number != held && !held.trimmed().isEmpty())
        programlog::write(QStringLiteral("%1 não contém um número de pedido que o programa possa "
                                         "usar (continha '%2'): os pedidos recomeçam em 1.")
                              .arg(OrderCounter::fileName, held));
    return number;
}

// The lines of the item on MesaPalm's current row, its extras read from the tablets.
QStringList PollingCycle::kitchenTicketItemLines() {
    const auto item = [this](const char* column) {
        return MesaPalm.field(QString::fromLatin1(column));
    };
    QStringList lines = {QString()};
    lines += kitchenTicketNameLines(item("Nomep").asText());
    lines.append(kitchenTicketQuantityLine(item("Quant").asFloat(), item("codigo").asText()));

    const QString id = item("id").asText();
    if (!id.isEmpty()) {
        Complemento.open({QStringLiteral("select * from complemento where idmesa = ") + q(id)});
        for (; !Complemento.eof(); Complemento.next())
            lines.append(QStringLiteral("   ") +
                         Complemento.field(QStringLiteral("complemento")).asText());
    }

    lines += kitchenTicketNoteLines(item("Texto").asText());
    lines.append(kitchenTicketItemRule());
    lines.append(QString());
    return lines;
}

DozEdizSettings PollingCycle::readDozEdiz() {
    printerSettings = DozEdizSettings::read(datafolder::filePath(QStringLiteral("DozEdiz.INI")));
    return printerSettings;
}

QDateTime PollingCycle::now() const {
    return programclock::now();
}
