#pragma once

#include <QByteArray>

#include <vector>

namespace db {

// libfbclient's handles are integers; zero means none.
using FbHandle = unsigned int;

// Owns one attachment to a database. Moving clears the source; the destructor detaches and
// never throws (a failure there is only reported on stderr).
class Attachment {
public:
    Attachment() = default;
    // Attaches with the given parameter block; throws DatabaseError and holds nothing on failure.
    static Attachment attach(const QByteArray& database, const QByteArray& parameters);
    ~Attachment();
    Attachment(Attachment&& other) noexcept;
    Attachment& operator=(Attachment&& other) noexcept;
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    FbHandle handle() const noexcept { return m_handle; }
    FbHandle* handlePointer() noexcept { return &m_handle; }
    explicit operator bool() const noexcept { return m_handle != 0; }
    // Detaches; the handle is cleared whatever the outcome. Throws DatabaseError on failure.
    void detach();

    // Rolls back again the transactions whose rollback failed: Firebird keeps them open,
    // holding their locks, and refuses to detach while they are. Failures are only reported.
    void rollBackUnfinished() noexcept;

private:
    friend class Transaction;
    explicit Attachment(FbHandle handle) noexcept : m_handle(handle) {}
    FbHandle m_handle = 0;
    std::vector<FbHandle> m_unfinished;
};

// A read-committed transaction on an attachment, started by the constructor and rolled back
// by the destructor unless committed. Throws DatabaseError from the constructor and commit().
class Transaction {
public:
    explicit Transaction(Attachment& attachment);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    FbHandle* handlePointer() noexcept { return &m_handle; }
    void commit();

private:
    Attachment& m_attachment;
    FbHandle m_handle = 0;
};

// A statement handle, allocated by the constructor and dropped by the destructor.
class StatementHandle {
public:
    explicit StatementHandle(Attachment& attachment);
    ~StatementHandle();
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    FbHandle* handlePointer() noexcept { return &m_handle; }

private:
    FbHandle m_handle = 0;
};

// An open blob for reading; closed by the destructor.
class BlobHandle {
public:
    BlobHandle(Attachment& attachment, Transaction& transaction, const void* blobId);
    ~BlobHandle();
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    // The whole content of the blob.
    QByteArray readAll();

private:
    FbHandle m_handle = 0;
};

} // namespace db
