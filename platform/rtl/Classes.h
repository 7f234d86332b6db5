#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// The window library's streams, persistent base and runtime class registry, as far as the
// picture classes use them. Streams throw EStreamError for short reads and writes and for
// files that cannot be opened; they are not thread-safe.

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Answer the bytes moved, fewer at the end of the stream.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    std::int64_t Size();
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // count 0 copies the whole source from its start; answers the bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
    // The bytes from the position to the end.
    QByteArray readAll();
};

// A stream over one memory block. Its capacity changes only through the reallocation step
// ReallocateBlock, which a derived class may replace to take its block from another heap;
// such a class returns its block in its own destructor (Clear), as the base cannot call it
// then.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(const QByteArray& bytes);
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;

    void Clear();
    void* Memory() const { return m_memory; }
    std::int64_t Capacity() const { return m_capacity; }
    // A copy of the stream's bytes.
    QByteArray bytes() const;
    void LoadFromStream(TStream& source);
    void LoadFromFile(const QString& fileName);
    void SaveToStream(TStream& target);
    void SaveToFile(const QString& fileName);

protected:
    // The block for newCapacity (which it may enlarge), the old block's bytes kept up to the
    // smaller capacity; null for a capacity of 0. The runtime's step grows in 8 KiB steps.
    virtual void* ReallocateBlock(std::int64_t& newCapacity);
    void SetCapacity(std::int64_t newCapacity);

private:
    void* m_memory = nullptr;
    std::int64_t m_capacity = 0;
    std::int64_t m_size = 0;
    std::int64_t m_position = 0;
};

class TFileStream : public TStream {
public:
    enum Mode : unsigned {
        fmOpenRead = 0x0000,
        fmOpenWrite = 0x0001,
        fmOpenReadWrite = 0x0002,
        fmShareDenyNone = 0x0040,
        fmCreate = 0xFF00,
    };
    TFileStream(const QString& fileName, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;

private:
    int m_fd = -1;
    QString m_fileName;
};

// The runtime's list of pointers: its size is the count, its capacity the capacity.
using TList = std::vector<void*>;

class TPersistent;

// A class known by name: its name and a virtual constructor.
struct TClassInfo {
    QString name;
    std::function<std::unique_ptr<TPersistent>()> create;
};
using TPersistentClass = const TClassInfo*;

// The one TClassInfo of T, named by T's static className().
template <typename T> TPersistentClass classOf() {
    static const TClassInfo info{T::staticClassName(),
                                 [] { return std::unique_ptr<TPersistent>(new T()); }};
    return &info;
}

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual TPersistentClass classType() const = 0;
    QString ClassName() const { return classType()->name; }
};

using TNotifyEvent = std::function<void(TPersistent* sender)>;

// The runtime class registry (process-wide, locked). A name registered twice keeps the first.
void RegisterClass(TPersistentClass cls);
void UnRegisterClass(TPersistentClass cls);
TPersistentClass GetClass(const QString& name);
// As GetClass, but throws std::runtime_error "Class NAME not found" when missing.
TPersistentClass FindClass(const QString& name);
