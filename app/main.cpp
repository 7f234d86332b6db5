#include "app/TextCodec.h"
#include "app/mesa_ponte/ProgramLog.h"
#include "app/mesa_ponte/TFormPalms.h"
#include "imaging/qkUnits.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/QtClipboardBackend.h"
#include "platform/widgets/QtSysColorProvider.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <memory>

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

} // namespace

int main(int argc, char* argv[]) {
    // A machine without a screen (a service started at boot): offscreen instead of aborting.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ImagingUnits imaging;
    QApplication application(argc, argv);
    gdi::installQtSysColorProvider();
    gdi::setClipboardBackend(std::make_shared<gdi::QtClipboardBackend>());
    quitOnTerminationSignals();
    // What the program shows is kept in its log too, for whoever finds it unattended.
    messages::setTranscript([](const messages::Shown& message) {
        programlog::write((message.kind == messages::Kind::StandardError
                               ? QStringLiteral("Erro mostrado: ")
                               : QStringLiteral("Mensagem mostrada: ")) +
                          message.text);
    });

    // Held until the process ends; the kernel drops it when a copy dies.
    SingleInstanceLock instance;
    try {
        if (SingleInstanceLock::tryAcquire(QStringLiteral("InterfaceCuvoraTablet22"), instance) ==
            SingleInstanceLock::Result::Held) {
            messages::messageBox(
                QStringLiteral("Você não pode executar outra cópia do aplicativo."),
                QStringLiteral("Informação do Sistema"), messages::Icon::Information);
            return 0;
        }
    } catch (const std::exception&) {
        // A lock that cannot be made at all does not keep the program from starting, as a
        // failed wait on the mutex does not.
    }

    setProcessMessagesHook([] { QCoreApplication::processEvents(); });
    setApplicationTitle(QStringLiteral("Interface Cuvora 22 plus"));
    TFormPalms form;
    // Again: attaching a database gives Firebird's engine handlers of its own.
    quitOnTerminationSignals();
    form.show();
    return application.exec();
}
