#include "app/core/HeldTicket.h"
#include "app/core/ProgramLog.h"
#include "app/mesa_ponte/TFormPalms.h"
#include "app/text/TextCodec.h"
#include "imaging/qkUnits.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/printing/TextPortFile.h"
#include "platform/threading/Timer.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/MainWindowQuit.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/ModalSeam.h"
#include "platform/widgets/QtClipboardBackend.h"
#include "platform/widgets/QtSysColorProvider.h"

#include <QApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <system_error>
#include <utility>

namespace {

// The imaging library's units run before everything else and stop after every window and
// picture is gone.
struct ImagingUnits {
    ImagingUnits() { qkInitializeUnits(); }
    ~ImagingUnits() {
        try {
            qkFinalizeUnits();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "imaging shut-down: %s\n", error.what());
        }
    }
};

QString signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signal);
    }
}

// A stop request is honoured within this time, whatever the program waits on.
constexpr std::chrono::seconds kStopGrace{3};

} // namespace

int main(int argc, char* argv[]) {
    // The ticket of the pass under way outlives the window and its cycle: the signal thread
    // logs it at a forced end, whenever that comes.
    const auto heldTicket = std::make_shared<HeldTicket>();
    termination::noteSignals(kStopGrace, [heldTicket](int signal) {
        programlog::write(QStringLiteral("Sinal %1 recebido e não atendido em %2 s (a interface "
                                         "espera o banco de dados, uma porta ou uma mensagem): o "
                                         "programa termina agora.")
                              .arg(signalName(signal))
                              .arg(kStopGrace.count()));
        heldTicket->logAsLost(QStringLiteral("sinal %1 recebido e não atendido em %2 s")
                                  .arg(signalName(signal))
                                  .arg(kStopGrace.count()));
    });
    // A ticket waiting on a port gives up at a stop request, so it is logged before the end.
    printing::TextPortFile::setStopRequested([] { return termination::notedSignal() != 0; });
    // A port's reader that goes away fails the write (EPIPE) instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    // A machine without a screen (a service started at boot): offscreen instead of aborting.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own warnings go to the log too, as entries of one line.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtDebugMsg)
            return;
        programlog::write(QStringLiteral("Aviso do Qt: ") + message);
        if (type == QtFatalMsg)
            std::abort();
    });
    const ImagingUnits imaging;
    QApplication application(argc, argv);
    gdi::installQtSysColorProvider();
    gdi::setClipboardBackend(std::make_shared<gdi::QtClipboardBackend>());
    const termination::QuitEventLoop quitOnSignal([](int signal) {
        programlog::write(QStringLiteral("Sinal %1 recebido: pedido para terminar o programa.")
                              .arg(signalName(signal)));
    });
    // What the program shows is kept in its log too, for whoever finds it unattended.
    messages::setTranscript([](const messages::Shown& message) {
        programlog::write((message.kind == messages::Kind::StandardError
                               ? QStringLiteral("Erro mostrado: ")
                               : QStringLiteral("Mensagem mostrada: ")) +
                          message.text);
    });
    programlog::setFailureReport(messages::showStandardError);
    // An error leaving a timer's tick is shown, and so logged, as one leaving any handler.
    threading::setTickErrorReport(handlerguard::showException);

    // Held until the process ends; the kernel drops it when a copy dies. Without it nothing
    // keeps a second copy off this data folder, and both would move the same items: a lock
    // that cannot be opened or taken ends the program.
    const QString lockName = QStringLiteral("InterfaceCuvoraTablet22");
    const auto lockFailed = [&lockName](const QString& reason) {
        messages::messageBox(QStringLiteral("O arquivo de trava '%1' não pôde ser aberto ou "
                                            "travado: %2. Sem ele, outra cópia do programa "
                                            "poderia rodar na mesma pasta de dados; o programa "
                                            "não inicia.")
                                 .arg(SingleInstanceLock::lockFilePath(lockName), reason),
                             QStringLiteral("Informação do Sistema"), messages::Icon::Error);
        return 1;
    };
    SingleInstanceLock instance;
    try {
        if (SingleInstanceLock::tryAcquire(lockName, instance) ==
            SingleInstanceLock::Result::Held) {
            messages::messageBox(
                QStringLiteral("Você não pode executar outra cópia do aplicativo."),
                QStringLiteral("Informação do Sistema"), messages::Icon::Information);
            return 0;
        }
    } catch (const std::system_error& error) {
        return lockFailed(QString::fromLocal8Bit(error.code().message()));
    } catch (const std::exception& error) {
        return lockFailed(QString::fromLocal8Bit(error.what()));
    }

    setProcessMessagesHook([] { QCoreApplication::processEvents(); });
    setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    TFormPalmsOptions options;
    options.heldTicket = heldTicket;
    // Nobody would see the error box of a stopped cycle: the program recovers by itself.
    options.recoversByItself = !modal::hasScreen();
    TFormPalms form(std::move(options));
    form.logStartup();
    // A stop request during start-up: the event loop it was meant for has not run yet.
    if (termination::notedSignal() != 0) {
        termination::shutdownStarted();
        return 0;
    }
    // Only the main window's closing ends the program, not the last box closed while the
    // window is hidden in the notification area.
    quitWhenMainWindowCloses(form);
    form.show();
    const int code = application.exec();
    termination::shutdownStarted();
    return code;
}
