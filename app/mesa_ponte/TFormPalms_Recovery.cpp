#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/ProgramLog.h"
#include "app/db/DatabaseError.h"
#include "app/mesa_ponte/TFormPalms_Ui.h"

#include <QTimer>

// Where nobody can see the error box, a cycle that failed is tried again every 10 s: both
// databases are attached anew (a server restarted, a connection lost), start-up's steps that
// needed them are done when it had none, and the cycle runs from its start. The log says the
// fault, once that it persists, and that polling resumed.

void TFormPalms::pollingStopped(const std::exception_ptr& error) {
    m_faultPersistsLogged = false;
    programlog::write(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: %1. O "
                                     "programa tenta de novo sozinho a cada %2 s.")
                          .arg(programlog::clause(db::errorMessage(error)),
                               QString::number(m_ui->RetryTimer->interval() / 1000)));
    m_ui->RetryTimer->start();
}

void TFormPalms::retryPolling() {
    try {
        // Through the server again, not the local path start-up fell back to.
        if (m_startupWithoutDatabases)
            setDatabasePaths();
        m_cycle->Logon.reconnect();
        m_cycle->LogonP.reconnect();
        completeStartup();
        m_cycle->run(snapshot());
    } catch (...) {
        if (!m_faultPersistsLogged) {
            m_faultPersistsLogged = true;
            programlog::write(
                QStringLiteral("O erro continua: %1. As tentativas seguem a cada "
                               "%2 s, sem nova linha no log até a leitura voltar.")
                    .arg(programlog::clause(db::errorMessage(std::current_exception())),
                         QString::number(m_ui->RetryTimer->interval() / 1000)));
        }
        m_ui->RetryTimer->start();
        return;
    }
    programlog::write(QStringLiteral("A leitura dos pedidos dos tablets voltou a funcionar."));
    m_ui->Timer2->start();
}

// The steps of FormCreate and FormShow that a start without the databases could not do.
void TFormPalms::completeStartup() {
    if (!m_startupWithoutDatabases)
        return;
    runStepsAfterConnecting();
    readEstablishmentFlags();
    m_startupWithoutDatabases = false;
    m_startupError.clear();
    logStartup();
}
