// Preloaded into the real program by a test (LD_PRELOAD): kills the process on the spot at
// the Nth statement whose text begins with a given prefix (any letter case), as a kill or a
// power cut would there. $CUVORA_KILL_AT_STATEMENT is "WHEN:N:PREFIX": WHEN "before" kills
// before the statement is executed, "after" once its transaction is committed.
#include <dlfcn.h>
#include <ibase.h>
#include <signal.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct KillPoint {
    bool after = false;
    long count = 0;
    std::string prefix;
};

const KillPoint* killPoint() {
    static const KillPoint* point = []() -> const KillPoint* {
        const char* text = std::getenv("CUVORA_KILL_AT_STATEMENT");
        if (text == nullptr)
            return nullptr;
        const std::string setting(text);
        const auto first = setting.find(':');
        const auto second = setting.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            return nullptr;
        static KillPoint parsed;
        parsed.after = setting.compare(0, first, "after") == 0;
        parsed.count = std::strtol(setting.c_str() + first + 1, nullptr, 10);
        parsed.prefix = setting.substr(second + 1);
        return &parsed;
    }();
    return point;
}

bool g_lastMatched = false; // the statement prepared last begins with the prefix
long g_matched = 0;         // matching statements executed so far

template <typename Function> Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Counts an execution of a matching statement; true when it is the one to kill at.
bool reached() {
    const KillPoint* point = killPoint();
    return point != nullptr && g_lastMatched && ++g_matched == point->count;
}

bool g_killAfterCommit = false;

void atExecute() {
    if (!reached())
        return;
    if (killPoint()->after)
        g_killAfterCommit = true;
    else
        ::raise(SIGKILL);
}

} // namespace

extern "C" {

ISC_STATUS isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short length,
                            const ISC_SCHAR* text, unsigned short dialect, XSQLDA* descriptor) {
    using Prepare = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                   const ISC_SCHAR*, unsigned short, XSQLDA*);
    static const auto prepare = real<Prepare>("isc_dsql_prepare");
    if (const KillPoint* point = killPoint()) {
        const std::size_t size = length != 0 ? length : std::strlen(text);
        g_lastMatched = size >= point->prefix.size() &&
                        ::strncasecmp(text, point->prefix.c_str(), point->prefix.size()) == 0;
    }
    return prepare(status, transaction, statement, length, text, dialect, descriptor);
}

ISC_STATUS isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short dialect,
                            const XSQLDA* descriptor) {
    using Execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                   const XSQLDA*);
    static const auto execute = real<Execute>("isc_dsql_execute");
    atExecute();
    return execute(status, transaction, statement, dialect, descriptor);
}

ISC_STATUS isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                             isc_stmt_handle* statement, unsigned short dialect,
                             const XSQLDA* input, const XSQLDA* output) {
    using Execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                   const XSQLDA*, const XSQLDA*);
    static const auto execute = real<Execute>("isc_dsql_execute2");
    atExecute();
    return execute(status, transaction, statement, dialect, input, output);
}

ISC_STATUS isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* transaction) {
    using Commit = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*);
    static const auto commit = real<Commit>("isc_commit_transaction");
    const ISC_STATUS result = commit(status, transaction);
    if (g_killAfterCommit)
        ::raise(SIGKILL);
    return result;
}

} // extern "C"
