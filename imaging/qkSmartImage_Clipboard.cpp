// The smart image on the clipboard: the image on white as a bitmap, and the encoded image
// under its format's registered identifier.

#include "imaging/qkSmartImage.h"

#include "imaging/qkGDIPlusClasses_Registration.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Clipboard.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array kPreferredFormats{
    TqkImageDataFormat::qkImagePng, TqkImageDataFormat::qkImageGif, TqkImageDataFormat::qkImageTiff,
    TqkImageDataFormat::qkImageJpeg, TqkImageDataFormat::qkImageBitmap};

constexpr int kImageDataFormatCount = 11;

// A global block of the stream's bytes; the block is freed when copying fails.
HGLOBAL globalBlockOf(const TMemoryStream& AStream) {
    const QByteArray& bytes = AStream.bytes();
    HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<std::size_t>(bytes.size()));
    if (!block)
        throw std::bad_alloc();
    void* memory = GlobalLock(block);
    if (!memory && !bytes.isEmpty()) {
        GlobalFree(block);
        throw std::bad_alloc();
    }
    if (!bytes.isEmpty())
        std::memcpy(memory, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    GlobalUnlock(block);
    return block;
}

} // namespace

bool TqkCustomSmartImage::HasClipboardFormat() {
    for (TqkImageDataFormat format : kPreferredFormats) {
        const WORD id = qkImageClipboardFormat(format);
        if (id != 0 && IsClipboardFormatAvailable(id))
            return true;
    }
    return false;
}

bool TqkCustomSmartImage::IsSupportClipboardFormat(WORD AFormat) {
    if (AFormat == 0)
        return false;
    for (int i = 0; i < kImageDataFormatCount; ++i)
        if (qkImageClipboardFormat(static_cast<TqkImageDataFormat>(i)) == AFormat)
            return true;
    return false;
}

void TqkCustomSmartImage::CopyToClipboard() {
    if (!Empty())
        Clipboard().Assign(this);
}

void TqkCustomSmartImage::CutToClipboard() {
    if (Empty())
        return;
    CopyToClipboard();
    Clear();
}

void TqkCustomSmartImage::PasteFromClipboard() {
    TClipboard& clipboard = Clipboard();
    clipboard.Open();
    try {
        PastePreferredClipboardFormat();
    } catch (...) {
        clipboard.Close();
        throw;
    }
    clipboard.Close();
}

bool TqkCustomSmartImage::PastePreferredClipboardFormat() {
    for (TqkImageDataFormat format : kPreferredFormats) {
        const WORD id = qkImageClipboardFormat(format);
        if (id == 0)
            continue;
        if (HANDLE data = GetClipboardData(id)) {
            LoadFromClipboardFormat(id, data, nullptr);
            return true;
        }
    }
    return false;
}

void TqkCustomSmartImage::LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) {
    if (AFormat == CF_BITMAP) {
        TBitmap bitmap;
        bitmap.SetHandleType(TBitmapHandleType::bmDIB);
        bitmap.LoadFromClipboardFormat(AFormat, AData, APalette);
        bitmap.SetPixelFormat(TPixelFormat::pf24bit);
        SetBitmap(bitmap);
        return;
    }
    if (!IsSupportClipboardFormat(AFormat))
        return;
    TMemoryStream stream;
    if (const void* memory = GlobalLock(AData)) {
        try {
            stream.WriteBuffer(memory, static_cast<std::int64_t>(GlobalSize(AData)));
        } catch (...) {
            GlobalUnlock(AData);
            throw;
        }
        GlobalUnlock(AData);
    }
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TqkCustomSmartImage::SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) {
    {
        TBitmap bitmap(Width(), Height());
        bitmap.Canvas().Brush.Color = clWhite;
        bitmap.Canvas().FillRect(ClientRect());
        PaintInRect(bitmap.Canvas(), ClientRect());
        bitmap.SaveToClipboardFormat(AFormat, AData, APalette);
    }
    const WORD id = qkImageClipboardFormat(ImageDataFormat());
    // A bitmap's identifier is the bitmap entry itself: its encoded bytes would replace the
    // picture put there with a block no reader takes for a bitmap.
    if (id == 0 || id == AFormat)
        return;
    if (!SetClipboardData(AFormat, AData))
        DeleteObject(AData);
    AData = nullptr;
    TMemoryStream stream;
    SaveToStream(stream);
    AData = globalBlockOf(stream);
    AFormat = id;
}
