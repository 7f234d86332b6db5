#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Private.h"

#include <cstdlib>
#include <cstring>

// --- Stream bridge ---------------------------------------------------------------------------

namespace {

thread_local TqkGPStreamAdapter* t_currentBridge = nullptr;

} // namespace

// The callbacks libgdiplus calls; each works on the thread's current bridge.
struct TqkGPStreamBridge {
    static TqkGPStreamAdapter* current() { return t_currentBridge; }

    static int read(BYTE* ABuffer, int ASize, bool APeek) {
        TqkGPStreamAdapter* bridge = current();
        if (!bridge || !ABuffer || ASize < 0)
            return -1;
        try {
            const std::int64_t start = bridge->FStream.Position();
            const std::int64_t count = bridge->FStream.Read(ABuffer, ASize);
            if (APeek)
                bridge->FStream.SetPosition(start);
            return static_cast<int>(count);
        } catch (...) {
            return -1;
        }
    }

    static int getHeader(BYTE* ABuffer, int ASize) { return read(ABuffer, ASize, true); }

    static int getBytes(BYTE* ABuffer, int ASize, BOOL APeek) {
        return read(ABuffer, ASize, APeek != 0);
    }

    static int putBytes(BYTE* ABuffer, int ASize) {
        TqkGPStreamAdapter* bridge = current();
        if (!bridge || !ABuffer || ASize < 0)
            return -1;
        try {
            return static_cast<int>(bridge->FStream.Write(ABuffer, ASize));
        } catch (...) {
            return -1;
        }
    }

    static int seek(int AOffset, int AWhence) {
        TqkGPStreamAdapter* bridge = current();
        if (!bridge)
            return -1;
        try {
            TStream& stream = bridge->FStream;
            std::int64_t target = 0;
            switch (AWhence) {
            case SEEK_SET:
                target = bridge->FOrigin + AOffset;
                break;
            case SEEK_CUR:
                target = stream.Position() + AOffset;
                break;
            case SEEK_END:
                target = stream.Size() + AOffset;
                break;
            default:
                return -1;
            }
            if (target < bridge->FOrigin)
                return -1;
            stream.SetPosition(target);
            return static_cast<int>(stream.Position() - bridge->FOrigin);
        } catch (...) {
            return -1;
        }
    }

    static int close() { return 0; }

    static long size() {
        TqkGPStreamAdapter* bridge = current();
        if (!bridge)
            return -1;
        try {
            return static_cast<long>(bridge->FStream.Size() - bridge->FOrigin);
        } catch (...) {
            return -1;
        }
    }
};

TqkGPStreamAdapter::TqkGPStreamAdapter(TStream& AStream)
    : FStream(AStream), FOrigin(AStream.Position()), FPrevious(t_currentBridge) {
    t_currentBridge = this;
}

TqkGPStreamAdapter::~TqkGPStreamAdapter() {
    t_currentBridge = FPrevious;
}

Status TqkGPStreamAdapter::LoadImage(GpImage** AImage) {
    // Made current again: a bridge made later on this thread may still be alive.
    TqkGPStreamAdapter* previous = t_currentBridge;
    t_currentBridge = this;
    const Status status = qkgdip::GdipLoadImageFromDelegate_linux(
        TqkGPStreamBridge::getHeader, TqkGPStreamBridge::getBytes, TqkGPStreamBridge::putBytes,
        TqkGPStreamBridge::seek, TqkGPStreamBridge::close, TqkGPStreamBridge::size, AImage);
    t_currentBridge = previous;
    return status;
}

Status TqkGPStreamAdapter::SaveImage(GpImage* AImage, const TGUID* AEncoder,
                                     const EncoderParameters* AParams) {
    TqkGPStreamAdapter* previous = t_currentBridge;
    t_currentBridge = this;
    const Status status = qkgdip::GdipSaveImageToDelegate_linux(
        AImage, TqkGPStreamBridge::getBytes, TqkGPStreamBridge::putBytes, TqkGPStreamBridge::seek,
        TqkGPStreamBridge::close, TqkGPStreamBridge::size, AEncoder, AParams);
    t_currentBridge = previous;
    return status;
}

// --- Header readers --------------------------------------------------------------------------

namespace {

// Checked reads: a stream that ends inside a header gives false, never a read past it.
class HeaderReader {
public:
    HeaderReader(TStream& AStream, bool ABigEndian = false)
        : m_stream(AStream), m_bigEndian(ABigEndian) {}

    void setBigEndian(bool AValue) { m_bigEndian = AValue; }

    bool skip(std::int64_t ACount) {
        const std::int64_t target = m_stream.Position() + ACount;
        if (ACount < 0 || target > m_stream.Size())
            return false;
        m_stream.SetPosition(target);
        return true;
    }

    bool bytes(void* ABuffer, std::int64_t ACount) {
        return m_stream.Read(ABuffer, ACount) == ACount;
    }

    bool u16(std::uint32_t& AValue) {
        std::uint8_t b[2];
        if (!bytes(b, 2))
            return false;
        AValue = m_bigEndian ? (b[0] << 8 | b[1]) : (b[1] << 8 | b[0]);
        return true;
    }

    bool u32(std::uint32_t& AValue) {
        std::uint8_t b[4];
        if (!bytes(b, 4))
            return false;
        AValue = decode32(b);
        return true;
    }

    std::uint32_t decode16(const std::uint8_t* b) const {
        return m_bigEndian ? (b[0] << 8 | b[1]) : (b[1] << 8 | b[0]);
    }
    std::uint32_t decode32(const std::uint8_t* b) const {
        return m_bigEndian ? (std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3])
                           : (std::uint32_t(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0]);
    }

private:
    TStream& m_stream;
    bool m_bigEndian;
};

constexpr std::uint8_t kBmpSignature[] = {'B', 'M'};
constexpr std::uint8_t kGif89Signature[] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr std::uint8_t kGif87Signature[] = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kPngSignature[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kTiffLittleSignature[] = {0x49, 0x49, 0x2A, 0x00};
constexpr std::uint8_t kTiffBigSignature[] = {0x4D, 0x4D, 0x00, 0x2A};

int tiffTypeSize(std::uint32_t AType) {
    switch (AType) {
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 1;
    }
}

constexpr TGUID imageFormat(std::uint32_t AD1) {
    return TGUID{AD1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

struct RawFormat {
    TGUID guid;
    TqkImageDataFormat format;
};

constexpr RawFormat kRawFormats[] = {
    {imageFormat(0xB96B3CAB), TqkImageDataFormat::qkImageBitmap},
    {imageFormat(0xB96B3CAA), TqkImageDataFormat::qkImageMemoryBmp},
    {imageFormat(0xB96B3CAE), TqkImageDataFormat::qkImageJpeg},
    {imageFormat(0xB96B3CAF), TqkImageDataFormat::qkImagePng},
    {imageFormat(0xB96B3CB1), TqkImageDataFormat::qkImageTiff},
    {imageFormat(0xB96B3CB0), TqkImageDataFormat::qkImageGif},
    {imageFormat(0xB96B3CB5), TqkImageDataFormat::qkImageIcon},
    {imageFormat(0xB96B3CAC), TqkImageDataFormat::qkImageEmf},
    {imageFormat(0xB96B3CAD), TqkImageDataFormat::qkImageWmf},
};

constexpr TGUID kEncoderQuality{
    0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
constexpr std::uint32_t kEncoderParameterValueTypeLong = 4;

} // namespace

// --- Codecs ----------------------------------------------------------------------------------

bool TqkGPImageCodec::CheckSignature(TStream& AStream, std::span<const std::uint8_t> ASignature) {
    const std::int64_t start = AStream.Position();
    std::uint8_t buffer[16];
    bool matches = false;
    try {
        const auto count = static_cast<std::int64_t>(ASignature.size());
        matches = AStream.Read(buffer, count) == count &&
                  std::memcmp(buffer, ASignature.data(), ASignature.size()) == 0;
    } catch (...) {
        AStream.SetPosition(start);
        throw;
    }
    AStream.SetPosition(start);
    return matches;
}

bool TqkGPImageCodec::Load(TStream& AStream,
                           std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) const {
    if (!CheckGdiPlus(false))
        return false;
    GpImage* loaded = nullptr;
    TqkGPStreamAdapter adapter(AStream);
    if (adapter.LoadImage(&loaded) != Status::Ok || !loaded)
        return false;
    GpOwnedImage image(loaded);
    if (!GpCompletePalettes(image.get()))
        return false;
    AHandle = std::make_unique<TqkGPImageHandle>(image.get());
    image.release();
    return true;
}

bool TqkGPImageCodec::Save(TStream& AStream, TqkSmartImageCustomHandle* AHandle) const {
    TGUID encoder;
    qkGetImageEncoder(ID(), encoder);
    if (!qkIsCLSIDSet(encoder) || !AHandle)
        return false;
    if (auto* handle = dynamic_cast<TqkGPImageHandle*>(AHandle))
        return SaveWithParameters(AStream, *handle, nullptr);
    const TSize size = AHandle->GetSize();
    auto bits = std::make_shared<TRGBColors>(AHandle->GetAsBitmapBits());
    std::unique_ptr<TqkGPImageHandle> temporary =
        TqkGPImageHandle::CreateFromBits(size.cx, size.cy, bits, TAlphaFormat::afPremultiplied);
    return SaveWithParameters(AStream, *temporary, nullptr);
}

bool TqkGPImageCodec::SaveWithParameters(TStream& AStream, TqkGPImageHandle& AHandle,
                                         const EncoderParameters* AParameters) const {
    TGUID encoder;
    qkGetImageEncoder(ID(), encoder);
    if (!CheckGdiPlus(false) || !AHandle.Handle())
        return false;
    TqkGPStreamAdapter adapter(AStream);
    return adapter.SaveImage(AHandle.Handle(), &encoder, AParameters) == Status::Ok;
}

bool TqkGPImageCodecBMP::CanLoadStream(TStream& AStream) const {
    return CheckSignature(AStream, kBmpSignature);
}

bool TqkGPImageCodecBMP::GetSize(TStream& AStream, TSize& ASize) const {
    if (!TqkGPImageCodecBMP::CanLoadStream(AStream))
        return false;
    HeaderReader reader(AStream);
    std::uint32_t headerSize = 0;
    if (!reader.skip(14) || !reader.u32(headerSize))
        return false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (headerSize == 12) {
        if (!reader.u16(width) || !reader.u16(height))
            return false;
        ASize = {static_cast<int>(width), static_cast<int>(height)};
        return true;
    }
    if (!reader.u32(width) || !reader.u32(height))
        return false;
    // A top-down bitmap stores its height negated; the decoded image reports it positive.
    const auto signedHeight = static_cast<std::int32_t>(height);
    if (signedHeight == INT32_MIN)
        return false;
    ASize = {static_cast<std::int32_t>(width), std::abs(signedHeight)};
    return true;
}

bool TqkGPImageCodecBMP::Load(const TqkRGBColorsRef& ABits, TAlphaFormat AAlphaFormat, int AWidth,
                              int AHeight,
                              std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) const {
    AHandle = TqkGPImageHandle::CreateFromBits(AWidth, AHeight, ABits, AAlphaFormat);
    return true;
}

bool TqkGPImageCodecGIF::CanLoadStream(TStream& AStream) const {
    return CheckSignature(AStream, kGif89Signature) || CheckSignature(AStream, kGif87Signature);
}

bool TqkGPImageCodecGIF::GetSize(TStream& AStream, TSize& ASize) const {
    if (!TqkGPImageCodecGIF::CanLoadStream(AStream))
        return false;
    HeaderReader reader(AStream);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!reader.skip(6) || !reader.u16(width) || !reader.u16(height))
        return false;
    ASize = {static_cast<int>(width), static_cast<int>(height)};
    return true;
}

bool TqkGPImageCodecJPEG::CanLoadStream(TStream& AStream) const {
    return CheckSignature(AStream, kJpegSignature);
}

bool TqkGPImageCodecJPEG::GetSize(TStream& AStream, TSize& ASize) const {
    if (!TqkGPImageCodecJPEG::CanLoadStream(AStream))
        return false;
    HeaderReader reader(AStream, true);
    if (!reader.skip(2))
        return false;
    for (;;) {
        std::uint32_t marker = 0;
        if (!reader.u16(marker) || (marker >> 8) != 0xFF || marker == 0xFFD9)
            return false;
        if (marker == 0xFFC0 || marker == 0xFFC3) {
            std::uint32_t height = 0;
            std::uint32_t width = 0;
            if (!reader.skip(3) || !reader.u16(height) || !reader.u16(width))
                return false;
            ASize = {static_cast<int>(width), static_cast<int>(height)};
            return true;
        }
        if (marker >= 0xFFD0 && marker <= 0xFFD8)
            continue;
        if (marker == 0xFFDD) {
            if (!reader.skip(4))
                return false;
            continue;
        }
        std::uint32_t length = 0;
        // A length below 2 would step backwards: no valid segment has one.
        if (!reader.u16(length) || length < 2 || !reader.skip(length - 2))
            return false;
    }
}

bool TqkGPImageCodecJPEG::SaveWithParameters(TStream& AStream, TqkGPImageHandle& AHandle,
                                             const EncoderParameters* AParameters) const {
    if (JPEGQuality != -1 && !AParameters) {
        std::int32_t quality = JPEGQuality;
        EncoderParameters parameters;
        parameters.Count = 1;
        parameters.Parameter[0].Guid = kEncoderQuality;
        parameters.Parameter[0].NumberOfValues = 1;
        parameters.Parameter[0].Type = kEncoderParameterValueTypeLong;
        parameters.Parameter[0].Value = &quality;
        return TqkGPImageCodec::SaveWithParameters(AStream, AHandle, &parameters);
    }
    return TqkGPImageCodec::SaveWithParameters(AStream, AHandle, AParameters);
}

bool TqkGPImageCodecPNG::CanLoadStream(TStream& AStream) const {
    return CheckSignature(AStream, kPngSignature);
}

bool TqkGPImageCodecPNG::GetSize(TStream& AStream, TSize& ASize) const {
    if (!TqkGPImageCodecPNG::CanLoadStream(AStream))
        return false;
    HeaderReader reader(AStream, true);
    std::uint8_t chunkType[4];
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Data whose first chunk is not IHDR is no PNG: no size.
    if (!reader.skip(12) || !reader.bytes(chunkType, 4) || std::memcmp(chunkType, "IHDR", 4) != 0 ||
        !reader.u32(width) || !reader.u32(height))
        return false;
    ASize = {static_cast<int>(width), static_cast<int>(height)};
    return true;
}

bool TqkGPImageCodecTIFF::CanLoadStream(TStream& AStream) const {
    return CheckSignature(AStream, kTiffLittleSignature) ||
           CheckSignature(AStream, kTiffBigSignature);
}

bool TqkGPImageCodecTIFF::GetSize(TStream& AStream, TSize& ASize) const {
    if (!TqkGPImageCodecTIFF::CanLoadStream(AStream))
        return false;
    ASize = {};
    const std::int64_t start = AStream.Position();
    const bool bigEndian = CheckSignature(AStream, kTiffBigSignature);
    HeaderReader reader(AStream, bigEndian);
    std::uint32_t directory = 0;
    if (!reader.skip(4) || !reader.u32(directory))
        return false;
    if (start + directory > AStream.Size())
        return false;
    AStream.SetPosition(start + directory);
    std::uint32_t count = 0;
    if (!reader.u16(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t entry[12];
        if (!reader.bytes(entry, 12))
            return false;
        const std::uint32_t tag = reader.decode16(entry);
        const std::uint32_t type = reader.decode16(entry + 2);
        const std::uint32_t valueCount = reader.decode32(entry + 4);
        const std::uint64_t valueSize = static_cast<std::uint64_t>(tiffTypeSize(type)) * valueCount;
        bool hasValue = true;
        std::uint32_t value = 0;
        if (valueSize == 2)
            value = reader.decode16(entry + 8);
        else if (valueSize == 4)
            value = reader.decode32(entry + 8);
        else
            hasValue = false;
        if (hasValue && tag == 256)
            ASize.cx = static_cast<std::int32_t>(value);
        else if (hasValue && tag == 257)
            ASize.cy = static_cast<std::int32_t>(value);
        if (ASize.cx > 0 && ASize.cy > 0)
            return true;
    }
    return false;
}

// --- Format tables ---------------------------------------------------------------------------

void qkGetImageEncoder(TqkImageDataFormat AFormat, TGUID& AClsid) {
    const TqkCodecCLSIDs& codecs = qkCodecCLSIDs();
    switch (AFormat) {
    case TqkImageDataFormat::qkImageBitmap:
    case TqkImageDataFormat::qkImageMemoryBmp:
        AClsid = codecs.BMPEncoder;
        return;
    case TqkImageDataFormat::qkImageJpeg:
        AClsid = codecs.JPEGEncoder;
        return;
    case TqkImageDataFormat::qkImagePng:
        AClsid = codecs.PNGEncoder;
        return;
    case TqkImageDataFormat::qkImageTiff:
        AClsid = codecs.TIFFEncoder;
        return;
    case TqkImageDataFormat::qkImageGif:
        AClsid = codecs.GIFEncoder;
        return;
    case TqkImageDataFormat::qkImageEmf:
    case TqkImageDataFormat::qkImageIcon:
    case TqkImageDataFormat::qkImageWmf:
        AClsid = TGUID{};
        return;
    case TqkImageDataFormat::qkImageUnknown:
    case TqkImageDataFormat::qkImageExif:
        break;
    }
    throw EqkException("qkGetImageEncoder fails");
}

TqkImageDataFormat GpRawFormatToDataFormat(const TGUID& AFormat) {
    for (const RawFormat& entry : kRawFormats)
        if (entry.guid == AFormat)
            return entry.format;
    return TqkImageDataFormat::qkImageUnknown;
}

TqkImageDataFormat GpGetImageDataFormat(GpImage* AImage) {
    if (!AImage || !qkgdip::GdipGetImageRawFormat)
        return TqkImageDataFormat::qkImageUnknown;
    TGUID format;
    if (qkgdip::GdipGetImageRawFormat(AImage, &format) != Status::Ok)
        return TqkImageDataFormat::qkImageUnknown;
    return GpRawFormatToDataFormat(format);
}
