#include "app/mesa_ponte/TFormPalms.h"

#include "app/TextConventions.h"
#include "app/UnitBibliotecapalm.h"
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
#include "platform/RegionalSettings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QScopeGuard>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <exception>
#include <limits>
#include <optional>
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

QString messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("erro desconhecido");
    }
}

// A kitchen ticket the kitchen never got goes to the program's log whole, so the operator
// can find it and print it again.
void logLostTicket(const QString& what, int printer, const QString& destination,
                   const QString& port, const std::exception_ptr& error, const QString& ticket) {
    programlog::write(
        heldticket::lostTicketEntry(what, printer, destination, port, messageOf(error), ticket));
}

} // namespace

void TFormPalms::Timer3Timer() {
    Timer3->stop();
    Timer2->start();
}

void TFormPalms::Timer2Timer() {
    Timer2->stop();
    try {
        pollTablesOnce();
        answerBillRequests();
    } catch (...) {
        // The error box follows; whoever finds the program unattended reads why it stopped.
        programlog::write(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: %1. "
                                         "Ela fica parada até o programa ser iniciado de novo.")
                              .arg(messageOf(std::current_exception())));
        throw;
    }
    Timer2->start();
}

// Every pass of the nesting runs in the order it is written: tables, waiters, printer
// numbers. The fast mode leaves out the passes whose item select surely returns no row and
// surely raises no error, which is everything a left-out pass would have done.
// - It reads the waiters once. The nesting reads them anew for each table row, so after a
//   pass that wrote they are read again before the next row when triggers of the main
//   database may have changed them.
// - After a pass that moved items, the moved ones may carry the table text 'EXCLUIR'; when
//   triggers on the tablets' item table may have written more, the new items are read again.
void TFormPalms::pollTablesOnce() {
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
std::unique_ptr<PassFilter> TFormPalms::planPasses(const QStringList& tables) {
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
std::optional<std::array<ColumnComparison, 3>> TFormPalms::describeItemColumns() {
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
void TFormPalms::reportItemsOfTablesNotOpen(const PassFilter* filter, const QStringList& tables) {
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
        programlog::write(QStringLiteral("Itens do tablet esperando pela mesa '%1', que não está "
                                         "aberta no CabMesa (%2 item(ns)): nada é movido até a "
                                         "mesa ser aberta; confira o número da mesa no tablet.")
                              .arg(it.key(), QString::number(it.value())));
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
void TFormPalms::reportRowsThatNeverMove(std::optional<std::array<ColumnComparison, 3>> columns,
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
bool TFormPalms::mainDatabaseHasWriteTriggers() {
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

QStringList TFormPalms::waiterCodes() {
    QStringList codes;
    for (Vendedor.first(); !Vendedor.eof(); Vendedor.next())
        codes.append(Vendedor.field(QStringLiteral("codigo")).asText());
    Vendedor.first();
    return codes;
}

// A read that fails here is no error of the cycle: the nesting would not have made it.
bool TFormPalms::tryReadNewItems(PassFilter& filter) {
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
void TFormPalms::readNewItems(PassFilter& filter) {
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

// One table, one waiter, one printer number: its new items into the main database and
// their ticket to the printer's destination.
void TFormPalms::runPass(int printer, const QString& table) {
    QComboBox* const boxes[] = {nullptr, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox2};
    QLineEdit* const ports[] = {nullptr, Edit30, Edit31, Edit32, Edit33, Edit30};
    const QString destination =
        printer == 0 ? destinationtext::nowhere : boxes[printer]->currentText();
    const QString port = printer == 0 ? QString() : ports[printer]->text();

    openPassItems(printer, table);
    // Items that cannot be moved whole are left out before anything of them is written,
    // so a pass of such items alone takes no order number either.
    if (!passHasMovableItems())
        return;
    beginPassTicket(table);
    // Held from the first item moved whole until the ticket is sent or logged.
    const auto released = qScopeGuard([] { heldticket::clear(); });
    if (movePassItems(printer, destination, port, table))
        sendPassTicket(printer, destination, port);
}

// The waiter's items of the table for this printer, in MesaPalm.
void TFormPalms::openPassItems(int printer, const QString& table) {
    MesaPalm.open({QStringLiteral("select * from mesa where mesa = ") + q(table) +
                   QStringLiteral(" and imp = ") + q(QString::number(printer)) +
                   QStringLiteral(" and COZINHA = ") + q(QStringLiteral("9")) +
                   QStringLiteral(" and vend = ") +
                   q(Vendedor.field(QStringLiteral("codigo")).asText()) +
                   QStringLiteral(" order by imp,mesa ")});
}

bool TFormPalms::passHasMovableItems() {
    bool anyMovable = false;
    for (MesaPalm.first(); !MesaPalm.eof(); MesaPalm.next())
        anyMovable = tabletRowIsReadable(true) || anyMovable;
    return anyMovable;
}

// The ticket's number, taken now, and its header.
void TFormPalms::beginPassTicket(const QString& table) {
    startKitchenTicket();
    const QString orderNumber = takeOrderNumber();
    clearReport();
    const QStringList header = kitchenTicketHeader(
        orderNumber, table, Vendedor.field(QStringLiteral("Nome")).asText(), now());
    for (const QString& line : header)
        addReportLine(line);
}

// Moves the pass's items one by one onto the ticket; true when any moved.
bool TFormPalms::movePassItems(int printer, const QString& destination, const QString& port,
                               const QString& table) {
    bool moved = false;
    int itemsWhole = 0;      // moved, flagged and on the ticket
    bool inItem = false;     // an item is being moved
    qsizetype itemStart = 0; // where the item being moved begins in the ticket's text
    try {
        for (MesaPalm.first(); !MesaPalm.eof(); MesaPalm.next()) {
            if (!tabletRowIsReadable(true))
                continue;
            moved = true;
            itemStart = impvalto->document()->characterCount() - 1;
            inItem = true;
            moveItem(printer, destination, table);
            inItem = false;
            ++itemsWhole;
            heldticket::hold(printer, destination, port, impvalto->toPlainText());
        }
    } catch (...) {
        // The items moved before the error are in the main database, but their ticket is never
        // sent. The one that failed moves again once the program is started again: it is kept
        // out of the ticket, or reprinting the ticket would send it to the kitchen twice. It is
        // named even when it was the first, since its main row may be written already.
        const QString text = impvalto->toPlainText();
        if (itemsWhole > 0)
            logLostTicket(QStringLiteral("Pedido da cozinha não enviado: a passagem falhou no "
                                         "meio e os itens gravados antes do erro estão no banco "
                                         "principal"),
                          printer, destination, port, std::current_exception(),
                          text.left(itemStart));
        if (inItem)
            logFailedItem(text.mid(itemStart + 1));
        throw;
    }
    return moved;
}

// A kitchen printer that fails loses its ticket, the items stay moved and the cycle goes
// on; the ticket is kept in the log. The last printer's ticket goes to the second kitchen
// again.
void TFormPalms::sendPassTicket(int printer, const QString& destination, const QString& port) {
    try {
        addKitchenTicketFeed();
        SendReport(destination, port, ReportKind::KitchenTicket);
    } catch (...) {
        logLostTicket(QStringLiteral("Pedido da cozinha não impresso"), printer, destination, port,
                      std::current_exception(), impvalto->toPlainText());
    }
    heldticket::clear();
    if (printer == kLastPrinter) {
        try {
            SendReport(ComboBox3->currentText(), Edit31->text(), ReportKind::KitchenTicket);
        } catch (...) {
            logLostTicket(QStringLiteral("Pedido da cozinha não impresso (segunda via)"), printer,
                          ComboBox3->currentText(), Edit31->text(), std::current_exception(),
                          impvalto->toPlainText());
        }
    }
}

// The item on MesaPalm's current row: its ticket lines, its kitchen-monitor rows, its main
// row, and its flag on the tablet.
void TFormPalms::moveItem(int printer, const QString& destination, const QString& table) {
    ++m_itemsMoved;
    m_mainRowWritten = false;
    addKitchenTicketItem();
    const auto item = [this](const char* column) {
        return MesaPalm.field(QString::fromLatin1(column));
    };
    const qint64 tabletId = integerOf(item("id"));

    Atualiza.open({QStringLiteral("SELECT GEN_ID(MESA,1) AS teste FROM GeraID ")});
    const QString id = QString::number(Atualiza.field(QStringLiteral("teste")).asInteger());

    const auto fileForMonitor = [&] {
        const QDateTime when = now();
        Atualiza.execute(
            {QStringLiteral("Insert Into cozinha2 "
                            "(id,idmesa,hora,mesa,garcom,caixa,produto,quant,compl) values("),
             QStringLiteral("GEN_ID(COZINHA2,1),"), q(id) + u',',
             q(textPiece(formatShortDate(when) + u' ' + formatLongTime(when), 1, 20)) + u',',
             q(table) + u',', q(item("Vend").asText()) + u',', q(QStringLiteral("0")) + u',',
             q(item("Nomep").asText()) + u',', q(FloatToSqlText(item("Quant").asFloat())) + u',',
             q(StripAccents(textPiece(item("texto").asText(), 1, 28))) + u')'});
    };
    const auto isMonitor = [](const QString& text) {
        return Destination::parse(text, DestinationUse::KitchenTicket).kind ==
               Destination::Kind::KitchenMonitor;
    };
    if (printer == kLastPrinter && isMonitor(ComboBox3->currentText()))
        fileForMonitor();
    if (isMonitor(destination))
        fileForMonitor();

    Atualiza.execute(
        {QStringLiteral("insert into mesa "
                        "(id,idmesa,codigo,valor,quant,mesa,texto,impressora,nomep,vend) values ("),
         q(id) + u',', q(id) + u',', q(item("Codigo").asText()) + u',',
         q(FloatToSqlText(item("Valor").asFloat())) + u',',
         q(FloatToSqlText(item("Quant").asFloat())) + u',', q(item("Mesa").asText()) + u',',
         q(textPiece(item("texto").asText(), 1, 36)) + u',', q(QString::number(printer)) + u',',
         q(item("Nomep").asText()) + u',', q(QString::number(integerOf(item("Vend")))) + u')'});
    m_mainRowWritten = true;

    erro.execute({QStringLiteral("update  mesa set mesa = 'EXCLUIR' where id = ") +
                  q(QString::number(tabletId))});
}

// The item on MesaPalm's current row, whose statements failed, and its ticket lines as far as
// they were composed.
void TFormPalms::logFailedItem(const QString& lines) {
    programlog::write(
        QStringLiteral("Item que falhou, fora do pedido acima (id %1, codigo '%2'): %3; não foi "
                       "marcado no tablet e será movido de novo quando o programa for iniciado "
                       "de novo.\n--- item que falhou ---\n%4\n--- fim do item ---")
            .arg(MesaPalm.field(QStringLiteral("id")).asText(),
                 MesaPalm.field(QStringLiteral("codigo")).asText(),
                 m_mainRowWritten ? QStringLiteral("já está no banco principal")
                                  : QStringLiteral("não foi gravado no banco principal"),
                 lines));
}

void TFormPalms::answerBillRequests() {
    MesaPalm.open({QStringLiteral("select * from mesa where COZINHA = ") + q(QStringLiteral("7"))});
    for (; !MesaPalm.eof(); MesaPalm.next()) {
        if (!tabletRowIsReadable(false))
            continue;
        const qint64 requestId = integerOf(MesaPalm.field(QStringLiteral("id")));
        const QString table = MesaPalm.field(QStringLiteral("Mesa")).asText();
        ComposeBill();
        CabMesa.execute(
            {QStringLiteral("Update CabMesa set STATUS = '1' where mesa = ") + q(table)});
        SendReport(ComboBox1->currentText(), Edit29->text(), ReportKind::Bill);
        erro.execute(
            {QStringLiteral("delete from mesa where id = ") + q(QString::number(requestId))});
        CabMesa.close();
        MesaItem.close();
    }
}

// Whether the row on MesaPalm can be moved or answered whole: its id, and an item's Vend,
// must read as whole numbers. A row that cannot stays on the tablet untouched and is logged
// once per run, so one bad row neither stops polling nor floods the log.
bool TFormPalms::tabletRowIsReadable(bool item) {
    const db::Field id = MesaPalm.field(QStringLiteral("id"));
    const db::Field vend = MesaPalm.field(QStringLiteral("Vend"));
    if (idIsExact(id) && (!item || wholeNumber(vend, true)))
        return true;
    const QString idText = id.isNull() ? QStringLiteral("NULL") : id.asText();
    if (!m_reportedUnreadableIds.contains(idText)) {
        m_reportedUnreadableIds.insert(idText);
        programlog::write(
            QStringLiteral("%1 do tablet deixado no lugar (id %2, mesa '%3', vend '%4'): %5 não "
                           "é um número inteiro.")
                .arg(item ? QStringLiteral("Item") : QStringLiteral("Pedido de conta"), idText,
                     MesaPalm.field(QStringLiteral("Mesa")).asText(), vend.asText(),
                     item ? QStringLiteral("id ou vend") : QStringLiteral("id")));
    }
    return false;
}

// The number of the next kitchen ticket from pedido.INI, which is written back advanced
// before any item of the pass moves.
QString TFormPalms::takeOrderNumber() {
    QString number = OrderCounter::read().next;
    // 64 bits: a counter never wraps to negative numbers.
    std::optional<qint64> value = readInt64(number);
    if (!value || *value == std::numeric_limits<qint64>::max()) {
        number = QStringLiteral("1");
        value = 1;
    }
    OrderCounter{QString::number(*value + 1)}.write();
    return number;
}

QDateTime TFormPalms::now() const {
    return programclock::now();
}
