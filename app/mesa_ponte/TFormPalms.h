#pragma once

#include "app/SettingsFile.h"
#include "app/core/DozEdizSettings.h"
#include "app/core/PassJournal.h"
#include "app/core/SentReport.h"
#include "app/core/TabJunta.h"
#include "app/core/UnmovableRows.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/db/Table.h"
#include "app/mesa_ponte/DatabaseSilenceLog.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace db {
class DatabaseError;
}
class PassFilter;
struct ColumnComparison;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;
class QTextEdit;
class QTimer;
class RadioGroup;
class TImage;

// The program's main window: the configuration window, and the owner for the whole run
// of both database connections, every query and table, the timers and the tray icon.
// Controls and components keep their stored names as members and objectNames; the
// widgets are owned by their Qt parents, the data components by the window.
//
// Constructing it builds the stored layout and runs FormCreate; showing it runs
// FormShow, and the first show starts Timer3, so no polling cycle starts before start-up
// and the messages it shows are done. Handlers are public so that tests can call them;
// each handler that the window library calls is run through the handler guard, so an
// error that leaves it ends in the standard error box. User-interface thread only.
class TFormPalms : public QWidget {
    Q_OBJECT
public:
    explicit TFormPalms(QWidget* parent = nullptr);
    ~TFormPalms() override;

    // Start-up.
    void FormCreate();
    void FormShow();
    // One line to the program's log with what start-up found: the establishment's name, the
    // data folder, each database's text and how it is opened, the printers, the polling
    // period; and, when start-up ran to its end, a line saying where each printer box sends.
    void logStartup();

    // Polling.
    void Timer3Timer();

    // The polling cycle, the kitchen ticket and sending, shared with the bill.
    // One polling cycle. After an error, Timer2 stays off: the error leaves the handler for
    // the error box, or, when the program recovers by itself, the cycle is tried again
    // every 10 s (the databases attached anew) until it runs, and then Timer2 goes on.
    void Timer2Timer();
    // Whether an error of the cycle is retried by the program instead of waiting for a
    // person: true where nobody can see the error box (no screen, the service).
    bool recoversByItself = false;
    enum class ReportKind { KitchenTicket, Bill };
    // Sends impvalto's text (its lines, font and size) to a destination text as the printer
    // box reads it, with the port field's text for "Informar Porta". Kitchen callers guard it.
    // A report sent is logged in one line, with what the subject says of it and where it went.
    void SendReport(const QString& destination, const QString& port, ReportKind kind,
                    const ReportSubject& subject = {});
    // Composes the bill of the bill request on MesaPalm's current row into impvalto; returns
    // its table, waiter and total.
    ReportSubject ComposeBill();
    // Test seam: when set, SendReport hands the report here instead of sending it.
    std::function<void(const QString& destination, const QString& port, ReportKind kind,
                       const QStringList& lines)>
        reportSink;
    // impvalto holds plain lines: these two are how tickets and bills write it.
    void addReportLine(const QString& line);
    void clearReport();
    // DozEdiz.INI as last read or saved: the ticket's font size falls back on it when the
    // file has gone. Start-up and "Confirmar/Gravar" keep it.
    DozEdizSettings printerSettings;
    // Fast skips the passes that surely find no new item (the program's mode); Plain runs
    // every pass of the nesting. Both leave the same databases, tickets and counter; the
    // benchmark and the tests compare them.
    enum class PollingMode { Fast, Plain };
    PollingMode pollingMode = PollingMode::Fast;

    // The tablet switches into their radio groups (the last step of FormShow).
    void loadTabletSwitches();

    // The configuration window's handlers.
    void BitBtn1Click();
    void Image3Click();
    void BitBtn3Click();
    void Image2Click();
    void TrayIcon1Click();
    void ComboBox1Enter();
    void ComboBox2Enter();
    void ComboBox3Enter();
    void ComboBox4Enter();
    void ComboBox5Enter();
    void ComboBox1Exit();
    void ComboBox2Exit();
    void ComboBox3Exit();
    void ComboBox4Exit();
    void ComboBox5Exit();
    void Timer1Timer();
    // "Confirmar/Gravar". Throws when DozEdiz.INI cannot be written.
    void BitBtn2Click();
    // DozEdiz.INI, kept as printerSettings; the encoding it was read in is kept for the next
    // write.
    DozEdizSettings readDozEdiz();

    // The tablet switches: each stores its radio group's selection.
    void RadioGroup1Click();
    void RadioGroup2Click();
    void RadioGroup3Click();

    // Program-wide state set at start-up.
    QString ServerAddress;
    QString EstablishmentName;
    int SCC4 = 0; // flag words of the first empresa row
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

    // Title bar.
    QFrame* Panel3 = nullptr;
    TImage* Image4 = nullptr;
    QLabel* Label52 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;

    // Body.
    QFrame* Panel2 = nullptr;
    TImage* Image1 = nullptr;
    QLabel* Label33 = nullptr;
    QLabel* Label45 = nullptr;
    QLabel* Label51 = nullptr;
    QLabel* Label30 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label32 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLabel* Label36 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLabel* Label35 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QLabel* Label37 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label44 = nullptr;
    QLabel* Label34 = nullptr;
    QLineEdit* Edit22 = nullptr;
    QLabel* Label31 = nullptr;
    QLineEdit* Edit28 = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    RadioGroup* RadioGroup2 = nullptr;
    RadioGroup* RadioGroup3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    // The port panel.
    QFrame* Panel6 = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* Edit29 = nullptr;
    QLineEdit* Edit30 = nullptr;
    QLineEdit* Edit31 = nullptr;
    QLineEdit* Edit32 = nullptr;
    QLineEdit* Edit33 = nullptr;

    // Network addresses of the printers, beyond the window's right edge.
    QFrame* Panel5 = nullptr;
    QFrame* Panel4 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLineEdit* Edit23 = nullptr;
    QLineEdit* Edit24 = nullptr;
    QLineEdit* Edit25 = nullptr;
    QLineEdit* Edit26 = nullptr;
    QLineEdit* Edit27 = nullptr;

    // Hidden line buffers and the composition area of tickets and bills.
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QTextEdit* impvalto = nullptr;

    QTimer* Timer1 = nullptr;     // 400 ms, off at start
    QTimer* Timer2 = nullptr;     // 5000 ms, the polling cycle, off until Timer3 fires
    QTimer* Timer3 = nullptr;     // 2000 ms, once, after start-up
    QTimer* Timer4 = nullptr;     // never switched on
    QTimer* RetryTimer = nullptr; // 10 000 ms, once, while polling waits to be tried again
    QSystemTrayIcon* TrayIcon1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildStoredLayout();
    // The stored layout's parts, built in this order (it is the stacking order).
    void setUpWindow();
    void buildTitleBar();
    void buildBody();
    void buildPrinterSettingsArea();
    void buildTabletSwitches();
    void buildButtons();
    void buildPortPanel();
    void buildAddressPanel();
    void buildHiddenBuffers();
    void buildTimers();
    void buildTrayIcon();
    // FormCreate's steps, in order; FormCreate keeps what ended them.
    void runStartupSteps();
    void runStepsAfterConnecting();
    void readServerAddress();
    void setDatabasePaths();
    void connectDatabases();
    void clearPortFields();
    void openEstablishment();
    void createMissingTables();
    void addMissingColumns();
    void tellTabletsTheLargerFlag();
    void showEstablishmentName();
    void fillPrinterBoxes();
    void loadPrinterSettings();
    void connectLogged(db::Connection& connection, const QString& which);
    // What FormShow says when start-up stopped before reading the establishment's row.
    QString startupFailure() const;
    QString m_startupError;                 // what ended FormCreate; empty when it ran to its end
    bool m_startupWithoutDatabases = false; // FormCreate stopped before both were connected
    void readEstablishmentFlags();
    void logDestinations();
    QString m_addressSource; // the settings file ServerAddress came from
    // The window's handlers, attached once the stored layout is loaded.
    void attachHandlers();
    void writeDozEdiz();
    DozEdizSettings settingsInControls() const;

    // Polling cycle and kitchen ticket.
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
    void runCycle();
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
    void startKitchenTicket();
    QStringList kitchenTicketItemLines();
    void showKitchenTicket(int fontSize, const QStringList& lines);
    // Recovery: the pass a kill or an error cut short, and polling tried again by itself.
    void finishInterruptedPass();
    void pollingStopped(const std::exception_ptr& error);
    void retryPolling();
    void completeStartup();
    PassJournal m_passJournal;
    bool m_faultPersistsLogged = false;
    QDateTime now() const;
    QSet<QString> m_reportedUnreadableIds;  // logged once per run
    QSet<QString> m_reportedTablesNotOpen;  // logged once per run
    QHash<QString, QString> m_setAsideRows; // tablet id: the row the main database refused
    int m_itemsMoved = 0;                   // items flagged in this run
    bool m_tabletItemTriggers = false;      // as the last cycle's catalogue read found
    int m_reportLines = 0;

    // The rows of the last read of the new items, and the ids of rows that never move logged
    // in this run.
    std::vector<TabletRow> m_tabletRowsRead;
    QSet<QString> m_reportedUnmovableIds;

    bool m_shownOnce = false;

    // Destination texts that named no printer and printed on the default one: logged once
    // per run.
    QSet<QString> m_reportedUnknownPrinters;
    // Stops of CUPS queues the log has told of.
    StoppedQueueNotices m_stoppedQueues;
};

// The machine's IPv4 address as the tablets reach it (the last of the host's
// addresses), or empty text.
QString LocalIPAddress();
