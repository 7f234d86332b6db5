#include "app/db/FbCall.h"

#include "app/db/DatabaseError.h"

#include <QStringDecoder>
#include <QStringList>

#include <ibase.h>

#include <utility>
#include <vector>

namespace db {
namespace {

FbFailureInjector& failureInjector() {
    static FbFailureInjector injector;
    return injector;
}

// Firebird's messages are ASCII apart from names and values quoted in them, which come in
// the connection's character set or in UTF-8 depending on where the error was raised.
QString decodeMessage(const char* text) {
    const QByteArray bytes(text);
    auto utf8 = QStringDecoder(QStringDecoder::Utf8);
    QString decoded = utf8(bytes);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(bytes);
}

// Every error code of a status vector, in its order; the arguments between them are skipped.
std::vector<long> statusCodes(const ISC_STATUS* status) {
    std::vector<long> codes;
    for (const ISC_STATUS* item = status; *item != isc_arg_end;) {
        const ISC_STATUS kind = item[0];
        if (kind == isc_arg_gds)
            codes.push_back(static_cast<long>(item[1]));
        // isc_arg_cstring carries a length and a pointer; every other kind one value.
        item += kind == isc_arg_cstring ? 3 : 2;
    }
    return codes;
}

} // namespace

FbFailureInjector setFbFailureInjector(FbFailureInjector injector) {
    return std::exchange(failureInjector(), std::move(injector));
}

namespace detail {

bool injectedFailure(FbCall call, std::intptr_t* status) {
    const FbFailureInjector& injector = failureInjector();
    if (!injector)
        return false;
    const long code = injector(call);
    if (code == 0)
        return false;
    status[0] = isc_arg_gds;
    status[1] = code;
    status[2] = isc_arg_end;
    return true;
}

void throwOnError(const std::intptr_t* status) {
    if (status[0] == isc_arg_gds && status[1] != 0)
        throwError(status);
}

void throwError(const std::intptr_t* status) {
    // fb_interpret and isc_sqlcode only read the status vector: they stay outside the seam.
    QStringList lines;
    const ISC_STATUS* cursor = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        lines.append(decodeMessage(buffer));
    const int sqlCode = isc_sqlcode(status);
    const long firebirdCode = static_cast<long>(status[1]);
    if (lines.isEmpty())
        lines.append(QStringLiteral("Firebird error %1").arg(firebirdCode));
    throw DatabaseError(lines.join(u'\n'), sqlCode, firebirdCode, statusCodes(status));
}

} // namespace detail
} // namespace db
