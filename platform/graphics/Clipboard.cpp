#include "platform/graphics/Clipboard.h"

#include "platform/gdi/Gdi.h"
#include "platform/graphics/DeviceImage.h"
#include "platform/graphics/Graphic.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct FormatNames {
    std::mutex mutex;
    std::vector<QString> names; // identifier 0xC000 + index
};

FormatNames& formatNames() {
    static FormatNames instance;
    return instance;
}

struct Block {
    QByteArray bytes;
    int locks = 0;
};

std::map<HGLOBAL, std::unique_ptr<Block>>& blocks() {
    static std::map<HGLOBAL, std::unique_ptr<Block>> instance;
    return instance;
}

Block* blockOf(HGLOBAL handle) {
    auto it = blocks().find(handle);
    return it == blocks().end() ? nullptr : it->second.get();
}

struct ClipboardState {
    std::shared_ptr<gdi::ClipboardBackend> backend =
        std::make_shared<gdi::MemoryClipboardBackend>();
    bool open = false;
    // Handles GetClipboardData gave out; the clipboard frees them.
    std::map<UINT, HANDLE> handedOut;
};

ClipboardState& state() {
    static ClipboardState instance;
    return instance;
}

void freeHandedOut() {
    for (auto& [format, handle] : state().handedOut) {
        if (format == CF_BITMAP)
            DeleteObject(handle);
        else
            GlobalFree(handle);
    }
    state().handedOut.clear();
}

} // namespace

UINT RegisterClipboardFormatW(LPCWSTR name) {
    if (!name || !*name)
        return 0;
    const QString wanted = QString::fromUtf16(name);
    FormatNames& table = formatNames();
    std::lock_guard lock(table.mutex);
    for (std::size_t i = 0; i < table.names.size(); ++i)
        if (table.names[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<UINT>(0xC000 + i);
    if (table.names.size() >= 0x4000)
        return 0;
    table.names.push_back(wanted);
    return static_cast<UINT>(0xC000 + table.names.size() - 1);
}

QString clipboardFormatName(UINT format) {
    FormatNames& table = formatNames();
    std::lock_guard lock(table.mutex);
    if (format < 0xC000 || format - 0xC000 >= table.names.size())
        return {};
    return table.names[format - 0xC000];
}

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(INT32_MAX))
        return nullptr;
    auto block = std::make_unique<Block>();
    // Blocks always start zeroed, GMEM_ZEROINIT or not.
    block->bytes = QByteArray(static_cast<qsizetype>(bytes), '\0');
    HGLOBAL handle = block.get();
    blocks().emplace(handle, std::move(block));
    return handle;
}

LPVOID GlobalLock(HGLOBAL handle) {
    Block* block = blockOf(handle);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle) {
    Block* block = blockOf(handle);
    if (!block || block->locks == 0)
        return FALSE;
    return --block->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL handle) {
    Block* block = blockOf(handle);
    return block ? static_cast<std::size_t>(block->bytes.size()) : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    return blocks().erase(handle) > 0 ? nullptr : handle;
}

BOOL OpenClipboard(HWND) {
    if (state().open)
        return FALSE;
    state().open = true;
    return TRUE;
}

BOOL CloseClipboard() {
    if (!state().open)
        return FALSE;
    state().open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    if (!state().open)
        return FALSE;
    freeHandedOut();
    state().backend->clear();
    return TRUE;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    return state().backend->hasFormat(format) ? TRUE : FALSE;
}

HANDLE GetClipboardData(UINT format) {
    if (!state().open)
        return nullptr;
    HANDLE made = nullptr;
    if (format == CF_BITMAP) {
        if (std::optional<QImage> image = state().backend->bitmap())
            made = gdi::bitmapFromImage(*image);
    } else if (std::optional<QByteArray> bytes = state().backend->bytes(format)) {
        made = GlobalAlloc(GMEM_MOVEABLE, static_cast<std::size_t>(bytes->size()));
        if (made && !bytes->isEmpty()) {
            std::memcpy(GlobalLock(made), bytes->constData(),
                        static_cast<std::size_t>(bytes->size()));
            GlobalUnlock(made);
        }
    }
    if (!made)
        return nullptr;
    auto& handedOut = state().handedOut;
    if (auto it = handedOut.find(format); it != handedOut.end()) {
        if (format == CF_BITMAP)
            DeleteObject(it->second);
        else
            GlobalFree(it->second);
    }
    handedOut[format] = made;
    return made;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    if (!state().open || !data)
        return nullptr;
    if (format == CF_BITMAP) {
        const QImage image = gdi::bitmapImage(static_cast<HBITMAP>(data));
        if (image.isNull())
            return nullptr;
        state().backend->setBitmap(image);
        DeleteObject(data);
    } else {
        Block* block = blockOf(data);
        if (!block)
            return nullptr;
        state().backend->setBytes(format, block->bytes);
        GlobalFree(data);
    }
    return data;
}

namespace gdi {

void MemoryClipboardBackend::clear() {
    m_bytes.clear();
    m_bitmap.reset();
}

void MemoryClipboardBackend::setBytes(UINT format, const QByteArray& bytes) {
    std::erase_if(m_bytes, [&](const auto& entry) { return entry.first == format; });
    m_bytes.emplace_back(format, bytes);
}

void MemoryClipboardBackend::setBitmap(const QImage& image) {
    m_bitmap = image;
}

bool MemoryClipboardBackend::hasFormat(UINT format) const {
    if (format == CF_BITMAP)
        return m_bitmap.has_value();
    return bytes(format).has_value();
}

std::optional<QByteArray> MemoryClipboardBackend::bytes(UINT format) const {
    for (const auto& [known, data] : m_bytes)
        if (known == format)
            return data;
    return std::nullopt;
}

std::optional<QImage> MemoryClipboardBackend::bitmap() const {
    return m_bitmap;
}

std::shared_ptr<ClipboardBackend> setClipboardBackend(std::shared_ptr<ClipboardBackend> backend) {
    freeHandedOut();
    return std::exchange(state().backend,
                         backend ? std::move(backend) : std::make_shared<MemoryClipboardBackend>());
}

} // namespace gdi

void TClipboard::Open() {
    if (m_openCount == 0) {
        if (!OpenClipboard(nullptr))
            throw std::runtime_error("Cannot open clipboard");
        m_emptied = false;
    }
    ++m_openCount;
}

void TClipboard::Close() {
    if (m_openCount == 0)
        return;
    if (--m_openCount == 0)
        CloseClipboard();
}

void TClipboard::Clear() {
    Open();
    EmptyClipboard();
    m_emptied = true;
    Close();
}

void TClipboard::adding() {
    if (m_openCount > 0 && !m_emptied) {
        EmptyClipboard();
        m_emptied = true;
    }
}

bool TClipboard::HasFormat(UINT format) const {
    return IsClipboardFormatAvailable(format) != FALSE;
}

void TClipboard::Assign(TPersistent* source) {
    auto* graphic = dynamic_cast<TGraphic*>(source);
    if (!graphic)
        throw EConvertError("Cannot assign a " +
                            (source ? source->ClassName().toStdString() : std::string("nil")) +
                            " to a TClipboard");
    Open();
    try {
        adding();
        WORD format = 0;
        HANDLE data = nullptr;
        HPALETTE palette = nullptr;
        graphic->SaveToClipboardFormat(format, data, palette);
        SetClipboardData(format, data);
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

HANDLE TClipboard::GetAsHandle(UINT format) {
    Open();
    HANDLE data = GetClipboardData(format);
    Close();
    return data;
}

void TClipboard::SetAsHandle(UINT format, HANDLE data) {
    Open();
    adding();
    SetClipboardData(format, data);
    Close();
}

TClipboard& Clipboard() {
    static TClipboard instance;
    return instance;
}
