#include "platform/rtl/Classes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

std::int64_t TStream::Size() {
    const std::int64_t position = Position();
    const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count > 0 && Read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count > 0 && Write(buffer, count) != count)
        throw EStreamError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
    std::int64_t left = count;
    while (left > 0) {
        const std::int64_t chunk =
            std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size()));
        source.ReadBuffer(buffer.data(), chunk);
        WriteBuffer(buffer.data(), chunk);
        left -= chunk;
    }
    return count;
}

QByteArray TStream::readAll() {
    const std::int64_t left = std::max<std::int64_t>(Size() - Position(), 0);
    QByteArray bytes(static_cast<qsizetype>(left), Qt::Uninitialized);
    bytes.resize(static_cast<qsizetype>(Read(bytes.data(), left)));
    return bytes;
}

TMemoryStream::TMemoryStream(const QByteArray& bytes) {
    WriteBuffer(bytes.constData(), bytes.size());
    m_position = 0;
}

TMemoryStream::~TMemoryStream() {
    Clear();
}

void* TMemoryStream::ReallocateBlock(std::int64_t& newCapacity) {
    constexpr std::int64_t kMemoryDelta = 8192;
    if (newCapacity > 0 && newCapacity != m_size)
        newCapacity = (newCapacity + (kMemoryDelta - 1)) & ~(kMemoryDelta - 1);
    if (newCapacity == m_capacity)
        return m_memory;
    if (newCapacity <= 0) {
        std::free(m_memory);
        return nullptr;
    }
    void* block = std::realloc(m_memory, static_cast<std::size_t>(newCapacity));
    if (!block)
        throw EStreamError("Out of memory while expanding memory stream");
    return block;
}

void TMemoryStream::SetCapacity(std::int64_t newCapacity) {
    m_memory = ReallocateBlock(newCapacity);
    m_capacity = std::max<std::int64_t>(newCapacity, 0);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t available = std::max<std::int64_t>(m_size - m_position, 0);
    const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, static_cast<const char*>(m_memory) + m_position,
                    static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0)
        return 0;
    const std::int64_t end = m_position + count;
    if (end > m_size) {
        if (end > m_capacity)
            SetCapacity(end);
        // A position past the end leaves a gap of zeros, not of old bytes.
        if (m_position > m_size)
            std::memset(static_cast<char*>(m_memory) + m_size, 0,
                        static_cast<std::size_t>(m_position - m_size));
        m_size = end;
    }
    std::memcpy(static_cast<char*>(m_memory) + m_position, buffer, static_cast<std::size_t>(count));
    m_position = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? m_position
                                                                 : m_size;
    m_position = std::max<std::int64_t>(base + offset, 0);
    return m_position;
}

void TMemoryStream::SetSize(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    const std::int64_t oldSize = m_size;
    SetCapacity(size);
    if (size > oldSize)
        std::memset(static_cast<char*>(m_memory) + oldSize, 0,
                    static_cast<std::size_t>(size - oldSize));
    m_size = size;
    m_position = std::min(m_position, m_size);
}

void TMemoryStream::Clear() {
    SetCapacity(0);
    m_size = 0;
    m_position = 0;
}

QByteArray TMemoryStream::bytes() const {
    return m_size > 0
               ? QByteArray(static_cast<const char*>(m_memory), static_cast<qsizetype>(m_size))
               : QByteArray();
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const QByteArray all = source.readAll();
    SetSize(all.size());
    if (!all.isEmpty())
        std::memcpy(m_memory, all.constData(), static_cast<std::size_t>(all.size()));
    m_position = 0;
}

void TMemoryStream::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileStream::fmOpenRead | TFileStream::fmShareDenyNone);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& target) {
    target.WriteBuffer(m_memory, m_size);
}

void TMemoryStream::SaveToFile(const QString& fileName) {
    TFileStream file(fileName, TFileStream::fmCreate);
    SaveToStream(file);
}

TFileStream::TFileStream(const QString& fileName, unsigned mode) : m_fileName(fileName) {
    const QByteArray path = fileName.toLocal8Bit();
    int flags = O_CLOEXEC;
    if ((mode & 0xFF00) == fmCreate)
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    else if ((mode & 3) == fmOpenWrite)
        flags |= O_WRONLY;
    else if ((mode & 3) == fmOpenReadWrite)
        flags |= O_RDWR;
    else
        flags |= O_RDONLY;
    m_fd = ::open(path.constData(), flags, 0666);
    if (m_fd < 0) {
        const char* verb = (mode & 0xFF00) == fmCreate ? "Cannot create file" : "Cannot open file";
        throw EStreamError(std::string(verb) + " \"" + path.toStdString() + "\". " +
                           std::strerror(errno));
    }
}

TFileStream::~TFileStream() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(m_fd, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    return ::lseek(m_fd, offset, whence);
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(m_fd, size) != 0)
        throw EStreamError("Cannot set the size of \"" + m_fileName.toStdString() + "\"");
}

namespace {

std::mutex& registryMutex() {
    static std::mutex instance;
    return instance;
}

std::vector<TPersistentClass>& registry() {
    static std::vector<TPersistentClass> classes;
    return classes;
}

} // namespace

void RegisterClass(TPersistentClass cls) {
    if (!cls)
        return;
    std::lock_guard lock(registryMutex());
    for (TPersistentClass known : registry())
        if (known == cls || known->name == cls->name)
            return;
    registry().push_back(cls);
}

void UnRegisterClass(TPersistentClass cls) {
    std::lock_guard lock(registryMutex());
    std::erase(registry(), cls);
}

TPersistentClass GetClass(const QString& name) {
    std::lock_guard lock(registryMutex());
    for (TPersistentClass known : registry())
        if (known->name == name)
            return known;
    return nullptr;
}

TPersistentClass FindClass(const QString& name) {
    TPersistentClass cls = GetClass(name);
    if (!cls)
        throw std::runtime_error("Class " + name.toStdString() + " not found");
    return cls;
}
