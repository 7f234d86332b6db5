#pragma once

#include <QString>

// The program's named mutex: an exclusive advisory lock on a file of that name in the data
// folder, so that one copy runs per data folder whichever user or runtime folder starts it
// (two copies would share its settings, its order counter and its databases). The file is
// opened read-only, so that another user can lock the file the first one made. The kernel
// drops the lock when the process dies, as Windows abandons a mutex. Owns the file
// descriptor; move-only; not thread-safe.
class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    SingleInstanceLock(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    ~SingleInstanceLock();

    // Takes the lock without waiting. Held: another process has it. Throws
    // std::system_error when the lock file cannot be opened or locked.
    enum class Result { Acquired, Held };
    static Result tryAcquire(const QString& name, SingleInstanceLock& lock);

    bool isHeld() const { return m_fd >= 0; }
    static QString lockFilePath(const QString& name);

private:
    explicit SingleInstanceLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};
