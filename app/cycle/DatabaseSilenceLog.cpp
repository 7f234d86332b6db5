#include "app/cycle/DatabaseSilenceLog.h"

#include "app/core/ProgramLog.h"
#include "app/db/CallWatchdog.h"

#include <QString>

#include <chrono>

namespace {

constexpr std::chrono::seconds kThreshold{30};

std::chrono::milliseconds threshold() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("CUVORA_DB_SILENCE_SECONDS", &ok);
    return ok && seconds > 0 ? std::chrono::seconds(seconds) : kThreshold;
}

QString secondsText(std::chrono::milliseconds duration) {
    return QString::number(std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

} // namespace

DatabaseSilenceLog::DatabaseSilenceLog() {
    db::setSilentCallThreshold(threshold());
    // The waiting call's line comes from the watchdog's thread while this thread is blocked
    // in that call.
    db::setSilentCallReport([](const db::SilentCall& call) {
        programlog::write(
            call.answered
                ? QStringLiteral("O banco de dados %1 respondeu após %2 s.")
                      .arg(call.database, secondsText(call.silentFor))
                : QStringLiteral("O banco de dados %1 não responde há %2 s; o programa espera "
                                 "por ele.")
                      .arg(call.database, secondsText(call.silentFor)));
    });
}

DatabaseSilenceLog::~DatabaseSilenceLog() {
    db::setSilentCallReport({});
}
