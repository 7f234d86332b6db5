#pragma once

#include "app/core/DozEdizSettings.h"
#include "app/core/HeldTicket.h"
#include "app/core/SentReport.h"
#include "app/cycle/CycleSnapshot.h"
#include "app/cycle/PollingCycle.h"
#include "app/cycle/Report.h"
#include "app/db/Connection.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

// What the window is given by whoever makes it.
struct TFormPalmsOptions {
    // The ticket of the pass under way, shared with the signal thread that logs it at a
    // forced end.
    std::shared_ptr<HeldTicket> heldTicket = std::make_shared<HeldTicket>();
    // Whether an error of the cycle is retried by the program instead of waiting for a
    // person: true where nobody can see the error box (no screen, the service).
    bool recoversByItself = false;
    // Test seam: when set, SendReport hands the report here instead of sending it.
    std::function<void(const QString& destination, const QString& port, ReportKind kind,
                       const QStringList& lines)>
        reportSink;
};

// The program's main window: the configuration window, the owner for the whole run of the
// polling cycle (both database connections, every query and table), the timers and the tray
// icon, and the sink of the cycle's tickets and bills.
// Controls and components keep their stored names in the window's private holder and as
// objectNames; the widgets are owned by their Qt parents, the data components by the window.
//
// Constructing it builds the stored layout and runs FormCreate; showing it runs
// FormShow, and the first show starts Timer3, so no polling cycle starts before start-up
// and the messages it shows are done. Handlers are public so that tests can call them;
// each handler that the window library calls is run through the handler guard, so an
// error that leaves it ends in the standard error box. User-interface thread only.
class TFormPalms : public QWidget, private ReportSink {
    Q_OBJECT
public:
    explicit TFormPalms(TFormPalmsOptions options = {}, QWidget* parent = nullptr);
    ~TFormPalms() override;

    PollingCycle& cycle() { return *m_cycle; }

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
    using ReportKind = ::ReportKind;
    // What the cycle reads of the window: the printer boxes, the port fields, the feed lines.
    CycleSnapshot snapshot() const;
    // Sends impvalto's text (its lines, font and size) to a destination text as the printer
    // box reads it, with the port field's text for "Informar Porta". Kitchen callers guard it.
    // A report sent is logged in one line, with what the subject says of it and where it went.
    void SendReport(const QString& destination, const QString& port, ReportKind kind,
                    const ReportSubject& subject = {});
    // Composes the bill of the bill request on the cycle's MesaPalm current row into impvalto.
    void ComposeBill();
    // impvalto holds plain lines: these two are how tickets and bills write it.
    void addReportLine(const QString& line);
    void clearReport();
    // A report's lines into impvalto, in its font size.
    void showReport(const Report& report);

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
    // DozEdiz.INI, kept as the cycle's printerSettings; the encoding it was read in is kept
    // for the next write.
    DozEdizSettings readDozEdiz();

    // The tablet switches: each stores its radio group's selection.
    void RadioGroup1Click();
    void RadioGroup2Click();
    void RadioGroup3Click();

    // The server address start-up read, or empty text.
    const QString& serverAddress() const { return ServerAddress; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Ui;
    const std::unique_ptr<Ui> m_ui;
    const bool m_recoversByItself;
    const decltype(TFormPalmsOptions::reportSink) m_reportSink;
    // Program-wide state set at start-up.
    QString ServerAddress;

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

    // The cycle's tickets and bills, shown in impvalto and sent.
    void send(const Report& report) override;
    // Recovery: polling tried again by itself.
    void pollingStopped(const std::exception_ptr& error);
    void retryPolling();
    void completeStartup();
    bool m_faultPersistsLogged = false;
    int m_reportLines = 0;
    std::unique_ptr<PollingCycle> m_cycle;

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
