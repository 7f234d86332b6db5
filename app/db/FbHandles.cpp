#include "app/db/FbHandles.h"

#include "app/db/DatabaseError.h"
#include "app/db/FbCall.h"

#include <ibase.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace db {
namespace {

using detail::callFb;
using detail::throwOnError;

void reportIgnored(const char* what, const ISC_STATUS* status) {
    try {
        detail::throwError(status);
    } catch (const DatabaseError& error) {
        std::fprintf(stderr, "database layer: %s failed: %s\n", what, error.what());
    }
}

// Read committed, seeing the latest committed version of a row; a row locked by another
// writer is waited for a few seconds instead of forever, so the program cannot hang on it.
const char kTransactionParameters[] = {isc_tpb_version3,
                                       isc_tpb_write,
                                       isc_tpb_read_committed,
                                       isc_tpb_rec_version,
                                       isc_tpb_wait,
                                       isc_tpb_lock_timeout,
                                       4,
                                       10,
                                       0,
                                       0,
                                       0};

} // namespace

Attachment Attachment::attach(const QByteArray& database, const QByteArray& parameters) {
    ISC_STATUS_ARRAY status{};
    FbHandle handle = 0;
    callFb(FbCall::AttachDatabase, status, [&] {
        return isc_attach_database(status, static_cast<short>(database.size()),
                                   database.constData(), &handle,
                                   static_cast<short>(parameters.size()), parameters.constData());
    });
    Attachment attachment(handle);
    // A failed attach must not leave anything attached behind it.
    throwOnError(status);
    return attachment;
}

Attachment::~Attachment() {
    if (m_handle == 0)
        return;
    rollBackUnfinished();
    ISC_STATUS_ARRAY status{};
    if (callFb(FbCall::DetachDatabase, status,
               [&] { return isc_detach_database(status, &m_handle); }))
        reportIgnored("detaching", status);
    m_handle = 0;
}

Attachment::Attachment(Attachment&& other) noexcept
    : m_handle(std::exchange(other.m_handle, 0)),
      m_unfinished(std::exchange(other.m_unfinished, {})) {}

Attachment& Attachment::operator=(Attachment&& other) noexcept {
    if (this != &other) {
        Attachment old(std::move(*this));
        m_handle = std::exchange(other.m_handle, 0);
        m_unfinished = std::exchange(other.m_unfinished, {});
    }
    return *this;
}

void Attachment::rollBackUnfinished() noexcept {
    std::vector<FbHandle> unfinished = std::exchange(m_unfinished, {});
    for (FbHandle& transaction : unfinished) {
        ISC_STATUS_ARRAY status{};
        if (callFb(FbCall::RollbackTransaction, status,
                   [&] { return isc_rollback_transaction(status, &transaction); }))
            reportIgnored("rolling back", status);
    }
}

void Attachment::detach() {
    if (m_handle == 0)
        return;
    rollBackUnfinished();
    ISC_STATUS_ARRAY status{};
    callFb(FbCall::DetachDatabase, status, [&] { return isc_detach_database(status, &m_handle); });
    m_handle = 0;
    throwOnError(status);
}

Transaction::Transaction(Attachment& attachment) : m_attachment(attachment) {
    ISC_STATUS_ARRAY status{};
    callFb(FbCall::StartTransaction, status, [&] {
        return isc_start_transaction(status, &m_handle, 1, attachment.handlePointer(),
                                     static_cast<unsigned short>(sizeof kTransactionParameters),
                                     kTransactionParameters);
    });
    throwOnError(status);
}

Transaction::~Transaction() {
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY status{};
    if (callFb(FbCall::RollbackTransaction, status,
               [&] { return isc_rollback_transaction(status, &m_handle); })) {
        reportIgnored("rolling back", status);
        // Still open: rolled back again before the next statement and before detaching.
        if (m_handle != 0)
            m_attachment.m_unfinished.push_back(m_handle);
    }
    m_handle = 0;
}

void Transaction::commit() {
    ISC_STATUS_ARRAY status{};
    callFb(FbCall::CommitTransaction, status,
           [&] { return isc_commit_transaction(status, &m_handle); });
    // On failure the transaction is still active: the destructor rolls it back.
    throwOnError(status);
    m_handle = 0;
}

StatementHandle::StatementHandle(Attachment& attachment) {
    ISC_STATUS_ARRAY status{};
    callFb(FbCall::AllocateStatement, status, [&] {
        return isc_dsql_allocate_statement(status, attachment.handlePointer(), &m_handle);
    });
    throwOnError(status);
}

StatementHandle::~StatementHandle() {
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY status{};
    if (callFb(FbCall::FreeStatement, status,
               [&] { return isc_dsql_free_statement(status, &m_handle, DSQL_drop); }))
        reportIgnored("freeing a statement", status);
    m_handle = 0;
}

BlobHandle::BlobHandle(Attachment& attachment, Transaction& transaction, const void* blobId) {
    ISC_QUAD id;
    std::memcpy(&id, blobId, sizeof id);
    ISC_STATUS_ARRAY status{};
    callFb(FbCall::OpenBlob, status, [&] {
        return isc_open_blob2(status, attachment.handlePointer(), transaction.handlePointer(),
                              &m_handle, &id, 0, nullptr);
    });
    throwOnError(status);
}

BlobHandle::~BlobHandle() {
    if (m_handle == 0)
        return;
    ISC_STATUS_ARRAY status{};
    if (callFb(FbCall::CloseBlob, status, [&] { return isc_close_blob(status, &m_handle); }))
        reportIgnored("closing a blob", status);
    m_handle = 0;
}

QByteArray BlobHandle::readAll() {
    QByteArray content;
    char buffer[8192];
    for (;;) {
        ISC_STATUS_ARRAY status{};
        unsigned short length = 0;
        const ISC_STATUS result = callFb(FbCall::GetBlobSegment, status, [&] {
            return isc_get_segment(status, &m_handle, &length, sizeof buffer, buffer);
        });
        if (result == isc_segstr_eof)
            break;
        if (result != 0 && result != isc_segment)
            detail::throwError(status);
        content.append(buffer, length);
    }
    return content;
}

} // namespace db
