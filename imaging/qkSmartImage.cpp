#include "imaging/qkSmartImage.h"

#include "imaging/qkCRC32.h"
#include "platform/graphics/Canvas.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t pixelValue(const RGBQUAD& APixel) {
    std::uint32_t value;
    std::memcpy(&value, &APixel, sizeof value);
    return value;
}

RGBQUAD pixelFromValue(std::uint32_t AValue) {
    return {static_cast<BYTE>(AValue), static_cast<BYTE>(AValue >> 8),
            static_cast<BYTE>(AValue >> 16), static_cast<BYTE>(AValue >> 24)};
}

const QString kDescriptionSuffix = QStringLiteral(" graphics from Quorvane");
QString g_descriptionSuffix = kDescriptionSuffix;

std::unique_ptr<std::vector<TqkSmartImageCodecClass>> g_codecs;

QString asciiLower(const QString& AText) {
    QString result = AText;
    for (QChar& c : result)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return result;
}

} // namespace

// --- TqkSmartImageDataStream ---------------------------------------------------------------

std::unique_ptr<TqkSmartImageDataStream>
TqkSmartImageDataStream::Clone(const TqkSmartImageDataStream* ASource) {
    if (!ASource)
        return nullptr;
    auto clone = ASource->CreateEmpty();
    const QByteArray bytes = ASource->bytes();
    clone->WriteBuffer(bytes.constData(), bytes.size());
    clone->SetPosition(0);
    return clone;
}

std::unique_ptr<TqkSmartImageDataStream> TqkSmartImageDataStream::CreateEmpty() const {
    return std::make_unique<TqkSmartImageDataStream>();
}

// --- TqkSmartImageData ----------------------------------------------------------------------

void TqkSmartImageData::Clear() {
    FBits.reset();
    FSize = {};
    FNewSize = {};
    FData.reset();
}

void TqkSmartImageData::LoadFromStream(TStream& AStream) {
    Clear();
    const std::int64_t remaining = AStream.Size() - AStream.Position();
    if (remaining <= 0 || remaining > INT32_MAX)
        return;
    auto data = std::make_unique<TqkSmartImageDataStream>();
    data->SetSize(remaining);
    AStream.ReadBuffer(data->Memory(), remaining);
    data->SetPosition(0);
    FData = std::move(data);
}

void TqkSmartImageData::LoadFromBits(TqkRGBColorsRef ABits, const TSize& ASize,
                                     TAlphaFormat AAlphaFormat) {
    Clear();
    FBits = std::move(ABits);
    FBitsFormat = AAlphaFormat;
    FSize = ASize;
    SetTransparencyAlpha();
}

void TqkSmartImageData::LoadFromBitmap(TBitmap& ABitmap) {
    Clear();
    FTransparent = FTransparent || ABitmap.Transparent();
    FTransparentColor = ABitmap.TransparentColor();
    FTransparentMode = ABitmap.TransparentMode();
    auto bits = std::make_shared<TRGBColors>();
    // A failed read keeps no bits: half-read data of size (0,0) would not decode.
    if (!qkGetBitmapBits(ABitmap, *bits, true))
        return;
    FBits = std::move(bits);
    FBitsFormat = ABitmap.AlphaFormat();
    if (FBitsFormat == TAlphaFormat::afIgnored && qkGetBitmapBitsPerPixel(ABitmap) == 32 &&
        TqkSmartImageHelper::HasAlpha(*FBits))
        FBitsFormat = TqkSmartImageHelper::AreColorsPremultiplied(*FBits)
                          ? TAlphaFormat::afPremultiplied
                          : TAlphaFormat::afDefined;
    FSize = {ABitmap.Width(), ABitmap.Height()};
    SetTransparencyAlpha();
}

void TqkSmartImageData::Assign(const TqkSmartImageData* ASource) {
    Clear();
    if (!ASource)
        return;
    FBits = ASource->FBits;
    FBitsFormat = ASource->FBitsFormat;
    FSize = ASource->FSize;
    FNewSize = ASource->FNewSize;
    FData = TqkSmartImageDataStream::Clone(ASource->FData.get());
}

void TqkSmartImageData::SetTransparencyAlpha() {
    if (FBitsFormat != TAlphaFormat::afIgnored || !FBits)
        return;
    // The bits carry no alpha (a 24-bit bitmap's read as 255): a pixel matches the key by its
    // colour alone.
    constexpr std::uint32_t kColourBits = 0x00FFFFFF;
    TRGBColors& bits = *FBits;
    bool hasKey = false;
    std::uint32_t key = 0;
    if (FTransparentMode == TTransparentMode::tmFixed) {
        key = static_cast<std::uint32_t>(
            qkAlphaColorToColor(static_cast<TqkAlphaColor>(FTransparentColor)));
        // clNone and clDefault name no colour.
        hasKey = (key & ~kColourBits) == 0;
    } else {
        // The first pixel of the bottom row; bits shorter than one row have none.
        const std::int64_t index =
            static_cast<std::int64_t>(bits.size()) - static_cast<std::int64_t>(FSize.cx);
        if (index >= 0 && index < static_cast<std::int64_t>(bits.size())) {
            key = pixelValue(bits[static_cast<std::size_t>(index)]);
            hasKey = true;
        }
    }
    for (RGBQUAD& pixel : bits)
        pixel.rgbReserved =
            (FTransparent && hasKey && ((pixelValue(pixel) ^ key) & kColourBits) == 0) ? 0 : 255;
    FBitsFormat = TAlphaFormat::afPremultiplied;
}

bool TqkSmartImageData::Empty() const {
    return !FData && !HasBits();
}

// --- TqkSmartImageHelper -------------------------------------------------------------------

TRGBColors TqkSmartImageHelper::AllocColors(int AWidth, int AHeight, TqkAlphaColor AColor) {
    if (AWidth <= 0 || AHeight <= 0)
        return {};
    return TRGBColors(static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight),
                      pixelFromValue(AColor));
}

bool TqkSmartImageHelper::AreColorsPremultiplied(const TRGBColors& ABits) {
    return std::all_of(ABits.begin(), ABits.end(), [](const RGBQUAD& p) {
        return p.rgbReserved >= std::max({p.rgbRed, p.rgbGreen, p.rgbBlue});
    });
}

bool TqkSmartImageHelper::HasAlpha(const TRGBColors& ABits) {
    if (ABits.empty())
        return false;
    bool allZero = true;
    for (const RGBQUAD& pixel : ABits) {
        if (pixel.rgbReserved != 0)
            return true;
        allZero = allZero && pixelValue(pixel) == 0;
    }
    return allZero;
}

// --- TqkSmartImageCustomHandle -------------------------------------------------------------

void TqkSmartImageCustomHandle::SetSize(const TSize&) {}

bool TqkSmartImageCustomHandle::Empty() {
    const TSize size = GetSize();
    return size.cx < 1 || size.cy < 1;
}

TqkAlphaState TqkSmartImageCustomHandle::GetAlphaState() {
    if (Empty())
        return TqkAlphaState::asNoAlpha;
    return qkGetAlphaState(GetAsBitmapBits());
}

std::unique_ptr<TBitmap> TqkSmartImageCustomHandle::GetAsBitmap() {
    const TSize size = GetSize();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(std::max(size.cx, 0), std::max(size.cy, 0));
    if (!bitmap->Empty())
        Draw(bitmap->Canvas().Handle(), Rect(0, 0, bitmap->Width(), bitmap->Height()), ClientRect(),
             255, nullptr);
    return bitmap;
}

TRGBColors TqkSmartImageCustomHandle::GetAsBitmapBits() {
    std::unique_ptr<TBitmap> bitmap = GetAsBitmap();
    TRGBColors bits;
    qkGetBitmapBits(*bitmap, bits, true);
    return bits;
}

void TqkSmartImageCustomHandle::Draw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource,
                                     BYTE AAlpha, IqkColorPalette* APalette) {
    Draw(DC, vqRectFToRect(ADest, true), vqRectFToRect(ASource, true), AAlpha, APalette);
}

bool TqkSmartImageCustomHandle::Equals(TqkSmartImageCustomHandle* AObj) {
    if (!AObj)
        return false;
    const TSize mine = GetSize();
    const TSize theirs = AObj->GetSize();
    if (!vqSizeIsEqual(mine, theirs))
        return false;
    if (Empty() || AObj->Empty())
        return true;
    const TRGBColors a = GetAsBitmapBits();
    const TRGBColors b = AObj->GetAsBitmapBits();
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

std::int32_t TqkSmartImageCustomHandle::GetHashCode() {
    if (Empty())
        return 0;
    const TRGBColors bits = GetAsBitmapBits();
    return static_cast<std::int32_t>(qkCRC32(bits.data(), bits.size() * 4));
}

// --- TqkSmartImageCodec --------------------------------------------------------------------

const QString& qkSmartImageDescriptionSuffix() {
    return g_descriptionSuffix;
}

QString TqkSmartImageCodec::Description() const {
    return Ext().mid(1).toUpper() + qkSmartImageDescriptionSuffix();
}

// --- TqkSmartImageCodecsRepository ---------------------------------------------------------

void TqkSmartImageCodecsRepository::Register(TqkSmartImageCodecClass ACodec) {
    if (!g_codecs)
        g_codecs = std::make_unique<std::vector<TqkSmartImageCodecClass>>();
    g_codecs->push_back(ACodec);
}

void TqkSmartImageCodecsRepository::Unregister(TqkSmartImageCodecClass ACodec) {
    if (!g_codecs)
        return;
    auto found = std::find(g_codecs->begin(), g_codecs->end(), ACodec);
    if (found != g_codecs->end())
        g_codecs->erase(found);
    if (g_codecs->empty())
        g_codecs.reset();
}

bool TqkSmartImageCodecsRepository::Contains(TqkSmartImageCodecClass ACodec) {
    return g_codecs && std::find(g_codecs->begin(), g_codecs->end(), ACodec) != g_codecs->end();
}

TqkSmartImageCodecClass TqkSmartImageCodecsRepository::GetItem(int AIndex) {
    return (*g_codecs)[static_cast<std::size_t>(AIndex)];
}

int TqkSmartImageCodecsRepository::Count() {
    return g_codecs ? static_cast<int>(g_codecs->size()) : 0;
}

bool TqkSmartImageCodecsRepository::Exists() {
    return g_codecs != nullptr;
}

TqkSmartImageCodecClass TqkSmartImageCodecsRepository::GetFormatByExt(const QString& AExt) {
    if (AExt.isEmpty())
        return nullptr;
    const QString wanted = asciiLower(AExt);
    for (int i = 0; i < Count(); ++i)
        if (asciiLower(GetItem(i)->Ext()) == wanted)
            return GetItem(i);
    return nullptr;
}

TqkSmartImageCodecClass TqkSmartImageCodecsRepository::GetFormatByID(TqkImageDataFormat AID) {
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->ID() == AID)
            return GetItem(i);
    return nullptr;
}

TqkSmartImageCodecClass TqkSmartImageCodecsRepository::GetFormatFromStream(TStream& AStream) {
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->CanLoadStream(AStream))
            return GetItem(i);
    return nullptr;
}

bool TqkSmartImageCodecsRepository::GetImageInfo(const QString& AFileName, TSize& ASize,
                                                 TqkSmartImageCodecClass& ACodec) {
    TFileStream file(AFileName, TFileStream::fmOpenRead | TFileStream::fmShareDenyNone);
    return GetImageInfo(file, ASize, ACodec);
}

bool TqkSmartImageCodecsRepository::GetImageInfo(TStream& AStream, TSize& ASize,
                                                 TqkSmartImageCodecClass& ACodec) {
    const std::int64_t start = AStream.Position();
    for (int i = 0; i < Count(); ++i) {
        if (GetItem(i)->GetSize(AStream, ASize)) {
            ACodec = GetItem(i);
            return true;
        }
        AStream.SetPosition(start);
    }
    return false;
}

bool TqkSmartImageCodecsRepository::GetImageInfo(TqkSmartImageData& AImageData, TSize& ASize,
                                                 TqkSmartImageCodecClass& ACodec) {
    if (AImageData.Empty())
        return false;
    if (AImageData.HasBits()) {
        for (int i = 0; i < Count(); ++i) {
            if (GetItem(i)->CanLoadFromBits()) {
                ACodec = GetItem(i);
                ASize = AImageData.FSize;
                return true;
            }
        }
        return false;
    }
    AImageData.FData->SetPosition(0);
    return GetImageInfo(*AImageData.FData, ASize, ACodec);
}

bool TqkSmartImageCodecsRepository::Load(const TqkRGBColorsRef& ABits, TAlphaFormat AAlphaFormat,
                                         int AWidth, int AHeight,
                                         std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) {
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->Load(ABits, AAlphaFormat, AWidth, AHeight, AHandle))
            return true;
    return false;
}

bool TqkSmartImageCodecsRepository::Load(TStream& AStream,
                                         std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) {
    const std::int64_t start = AStream.Position();
    for (int i = 0; i < Count(); ++i) {
        if (GetItem(i)->Load(AStream, AHandle))
            return true;
        AStream.SetPosition(start);
    }
    return false;
}

bool TqkSmartImageCodecsRepository::Load(TqkSmartImageData& AImageData,
                                         std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) {
    if (AImageData.HasBits())
        return Load(AImageData.FBits, AImageData.FBitsFormat, AImageData.FSize.cx,
                    AImageData.FSize.cy, AHandle);
    if (!AImageData.FData)
        return false;
    AImageData.FData->SetPosition(0);
    return Load(*AImageData.FData, AHandle);
}

// --- TqkSmartImageAnimationController ------------------------------------------------------

TqkSmartImageAnimationController::~TqkSmartImageAnimationController() {
    StopAnimation();
    StopTimer();
}

bool TqkSmartImageAnimationController::Active() {
    if (!IsTimerActive() || !FImage)
        return false;
    auto* animated = dynamic_cast<IqkAnimatedImage*>(FImage->ImageHandle());
    return animated && animated->AnimationFrameCount() > 1;
}

// --- TqkCustomSmartImage -------------------------------------------------------------------

TqkCustomSmartImage::TqkCustomSmartImage() : FImageData(std::make_unique<TqkSmartImageData>()) {
    FImageData->FTransparentColor = clDefault;
}

TqkCustomSmartImage::~TqkCustomSmartImage() {
    FHandle.reset();
    FImageData->Clear();
    FAnimationController.reset();
    FCache.reset();
}

std::unique_ptr<TqkCustomSmartImage> TqkCustomSmartImage::CreateFromStream(TStream& AStream) {
    auto image = std::make_unique<TqkCustomSmartImage>();
    image->ReadImageData(AStream);
    return image;
}

void TqkCustomSmartImage::CheckOperation(bool ACondition, const char* AMessage) {
    if (!ACondition)
        throw EqkException(AMessage);
}

void TqkCustomSmartImage::NotifyChanged() {
    FCache.reset();
    FAlphaStateAssigned = false;
    TGraphic::NotifyChanged();
}

bool TqkCustomSmartImage::Empty() {
    return FHandle ? FHandle->Empty() : FImageData->Empty();
}

TSize TqkCustomSmartImage::GetSize() {
    if (!FHandle) {
        if (FImageData->Empty())
            return {};
        if (vqSizeIsPositive(FImageData->FNewSize))
            return FImageData->FNewSize;
        if (vqSizeIsPositive(FImageData->FSize))
            return FImageData->FSize;
        TSize size;
        TqkSmartImageCodecClass codec = nullptr;
        if (TqkSmartImageCodecsRepository::GetImageInfo(*FImageData, size, codec)) {
            FImageData->FSize = size;
            return size;
        }
    }
    return ImageHandle()->GetSize();
}

void TqkCustomSmartImage::HandleNeeded() {
    if (!FHandle)
        DecodeHandle();
}

void TqkCustomSmartImage::DecodeHandle() {
    if (FImageData->Empty()) {
        FHandle = std::make_unique<TqkSmartImageEmptyHandle>();
    } else {
        std::unique_ptr<TqkSmartImageCustomHandle> handle;
        const bool decoded = TqkSmartImageCodecsRepository::Load(*FImageData, handle);
        CheckOperation(decoded && handle, "Unsupported image format.");
        FHandle = std::move(handle);
    }
    if (vqSizeIsPositive(FImageData->FNewSize)) {
        const TSize pending = FImageData->FNewSize;
        FImageData->FNewSize = {};
        Resize(pending);
        HandleNeeded();
    }
}

TqkSmartImageCustomHandle* TqkCustomSmartImage::ImageHandle() {
    HandleNeeded();
    return FHandle.get();
}

void TqkCustomSmartImage::SetImageHandle(std::unique_ptr<TqkSmartImageCustomHandle> AHandle) {
    if (AHandle && AHandle.get() == FHandle.get()) {
        (void)AHandle.release();
        return;
    }
    FreeHandleAndData();
    FHandle = std::move(AHandle);
    NotifyChanged();
}

TqkAlphaState TqkCustomSmartImage::CachedAlphaState() {
    // Remembered only once the handle answered: a failed decode is asked again next time
    // instead of passing for "not opaque".
    if (!FAlphaStateAssigned) {
        FAlphaState = ImageHandle()->GetAlphaState();
        FAlphaStateAssigned = true;
    }
    return FAlphaState;
}

void TqkCustomSmartImage::FreeHandleAndData() {
    FHandle.reset();
    FImageData->Clear();
    // A new image plays its own loop count from the start.
    FAnimationLoopIndex = 0;
}

void TqkCustomSmartImage::Clear() {
    if (FHandle || !FImageData->Empty()) {
        FreeHandleAndData();
        NotifyChanged();
    }
}

void TqkCustomSmartImage::LoadFromStream(TStream& AStream) {
    ReadImageData(AStream);
    NotifyChanged();
}

void TqkCustomSmartImage::ReadImageData(TStream& AStream) {
    FreeHandleAndData();
    if (IsBitmapStream(AStream)) {
        TBitmap bitmap;
        bitmap.LoadFromStream(AStream);
        LoadFromBitmap(bitmap);
    } else {
        FImageData->LoadFromStream(AStream);
    }
}

bool TqkCustomSmartImage::IsBitmapStream(TStream& AStream) {
    const std::int64_t start = AStream.Position();
    std::uint8_t header[14];
    std::int64_t count = 0;
    try {
        count = AStream.Read(header, sizeof header);
    } catch (...) {
        AStream.SetPosition(start);
        throw;
    }
    AStream.SetPosition(start);
    return count == 14 && header[0] == 0x42 && header[1] == 0x4D;
}

void TqkCustomSmartImage::LoadFromBitmap(TBitmap& ABitmap) {
    FreeHandleAndData();
    FImageData->LoadFromBitmap(ABitmap);
}

void TqkCustomSmartImage::SetBitmap(TBitmap& ABitmap) {
    LoadFromBitmap(ABitmap);
    NotifyChanged();
}

void TqkCustomSmartImage::SaveToStream(TStream& AStream) {
    if (!Empty() && !FHandle && FImageData->FData) {
        const QByteArray& bytes = FImageData->FData->bytes();
        AStream.WriteBuffer(bytes.constData(), bytes.size());
        return;
    }
    SaveToStreamByCodec(AStream, ImageDataFormat());
}

void TqkCustomSmartImage::SaveToStreamByCodec(TStream& AStream, TqkImageDataFormat AFormat) {
    SaveToStreamByCodec(AStream, TqkSmartImageCodecsRepository::GetFormatByID(AFormat));
}

void TqkCustomSmartImage::SaveToStreamByCodec(TStream& AStream, TqkSmartImageCodecClass ACodec) {
    if (Empty())
        return;
    std::unique_ptr<TqkSmartImageDataStream> exported = ExportImage(ACodec);
    const QByteArray& bytes = exported->bytes();
    AStream.WriteBuffer(bytes.constData(), bytes.size());
}

void TqkCustomSmartImage::SaveToFile(const QString& AFileName) {
    const QString suffix = QFileInfo(AFileName).suffix();
    TqkSmartImageCodecClass codec =
        suffix.isEmpty() ? nullptr : TqkSmartImageCodecsRepository::GetFormatByExt(u'.' + suffix);
    TMemoryStream encoded;
    if (codec)
        SaveToStreamByCodec(encoded, codec);
    else
        SaveToStream(encoded);
    QSaveFile file(AFileName);
    const QByteArray& bytes = encoded.bytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EStreamError("Cannot create file \"" + AFileName.toStdString() +
                           "\": " + file.errorString().toStdString());
}

std::unique_ptr<TqkSmartImageDataStream>
TqkCustomSmartImage::ExportImage(TqkSmartImageCodecClass ACodec) {
    CheckOperation(ACodec != nullptr, "Operation was not supported.");
    const TqkImageDataFormat format = ImageDataFormat();
    if (ACodec->ID() == format && FImageData->FData &&
        ACodec->ID() != TqkImageDataFormat::qkImageUnknown)
        return TqkSmartImageDataStream::Clone(FImageData->FData.get());
    auto stream = std::make_unique<TqkSmartImageDataStream>();
    const QString message = QStringLiteral("The %1 codec failed to export the image (%2)")
                                .arg(ACodec->ClassName())
                                .arg(static_cast<int>(format));
    CheckOperation(ACodec->Save(*stream, ImageHandle()), message.toStdString().c_str());
    stream->SetPosition(0);
    return stream;
}

void TqkCustomSmartImage::EnsureImageData() {
    if (!FImageData->FData)
        FImageData->FData = ExportImage(ImageCodec());
}

void TqkCustomSmartImage::Dormant() {
    if (!FHandle)
        return;
    if (!Empty())
        EnsureImageData();
    FHandle.reset();
}

TqkSmartImageCodecClass TqkCustomSmartImage::ImageCodec() {
    TqkSmartImageCustomHandle* handle = ImageHandle();
    if (auto* provider = dynamic_cast<IqkImageCodecProvider*>(handle))
        return provider->GetCodecClass();
    if (auto* format = dynamic_cast<IqkImageDataFormat*>(handle))
        return TqkSmartImageCodecsRepository::GetFormatByID(format->GetImageDataFormat());
    return nullptr;
}

void TqkCustomSmartImage::SetImageCodec(TqkSmartImageCodecClass AValue) {
    if (AValue == ImageCodec())
        return;
    TMemoryStream stream;
    SaveToStreamByCodec(stream, AValue);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

TqkImageDataFormat TqkCustomSmartImage::ImageDataFormat() {
    if (auto* format = dynamic_cast<IqkImageDataFormat*>(ImageHandle()))
        return format->GetImageDataFormat();
    return TqkImageDataFormat::qkImageUnknown;
}

void TqkCustomSmartImage::SetImageDataFormat(TqkImageDataFormat AValue) {
    SetImageCodec(TqkSmartImageCodecsRepository::GetFormatByID(AValue));
}

void TqkCustomSmartImage::Resize(int AWidth, int AHeight) {
    Resize(TSize{AWidth, AHeight});
}

void TqkCustomSmartImage::Resize(const TSize& ASize) {
    if (!FHandle) {
        FImageData->FNewSize = ASize;
        NotifyChanged();
        return;
    }
    if (dynamic_cast<TqkSmartImageEmptyHandle*>(FHandle.get())) {
        auto bits =
            std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(ASize.cx, ASize.cy, 0));
        FreeHandleAndData();
        FImageData->LoadFromBits(std::move(bits), ASize, TAlphaFormat::afPremultiplied);
        NotifyChanged();
        return;
    }
    if (vqSizeIsEqual(FHandle->GetSize(), ASize))
        return;
    FHandle->SetSize(ASize);
    FImageData->Clear();
    NotifyChanged();
}

void TqkCustomSmartImage::PaintInRect(TCanvas& ACanvas, const TRect& ARect) {
    StretchDraw(ACanvas.Handle(), ARect, 255, nullptr);
}

void TqkCustomSmartImage::StretchDraw(HDC DC, const TRect& ADest, BYTE AAlpha,
                                      IqkColorPalette* APalette) {
    if (FUseCache && CheckCache(vqRectSize(ADest), APalette)) {
        FCache->Draw(DC, ADest, FCache->ClientRect(), AAlpha, APalette);
        return;
    }
    StretchDraw(DC, ADest, ClientRect(), AAlpha, APalette);
}

void TqkCustomSmartImage::StretchDraw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
                                      IqkColorPalette* APalette) {
    ImageHandle()->Draw(DC, ADest, ASource, AAlpha, APalette);
}

void TqkCustomSmartImage::StretchDraw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource,
                                      BYTE AAlpha, IqkColorPalette* APalette) {
    ImageHandle()->Draw(DC, ADest, ASource, AAlpha, APalette);
}

bool TqkCustomSmartImage::CheckCache(const TSize& ATarget, IqkColorPalette* APalette) {
    TGUID paletteID;
    qkGetColorPaletteID(APalette, paletteID);
    if (!(paletteID == FCachePaletteID))
        FCache.reset();
    if (FCache && vqSizeIsEqual(FCache->GetSize(), ATarget))
        return true;
    FCache.reset();
    if (IsCacheWorthwhile(ImageHandle()->GetSize(), ATarget)) {
        FCache = CreateCacheHandle(ATarget);
        FCachePaletteID = paletteID;
    }
    return FCache != nullptr;
}

bool TqkCustomSmartImage::IsCacheWorthwhile(const TSize& AImageSize, const TSize& ATargetSize) {
    const std::int64_t image = static_cast<std::int64_t>(AImageSize.cx) * AImageSize.cy;
    const std::int64_t target = 4 * static_cast<std::int64_t>(ATargetSize.cx) * ATargetSize.cy;
    return ATargetSize.cx < AImageSize.cx && ATargetSize.cy < AImageSize.cy && image > target;
}

std::unique_ptr<TqkSmartImageCustomHandle> TqkCustomSmartImage::CreateCacheHandle(const TSize&) {
    return nullptr;
}

std::unique_ptr<TBitmap> TqkCustomSmartImage::GetAsBitmap() {
    return ImageHandle()->GetAsBitmap();
}

TRGBColors TqkCustomSmartImage::GetBitmapBits() {
    std::unique_ptr<TBitmap> bitmap = GetAsBitmap();
    TRGBColors bits;
    qkGetBitmapBits(*bitmap, bits, true);
    return bits;
}

std::int32_t TqkCustomSmartImage::GetHashCode() {
    return ImageHandle()->GetHashCode();
}

void TqkCustomSmartImage::ConvertToBitmap() {
    if (Empty())
        return;
    const TqkImageDataFormat format = ImageDataFormat();
    if (format == TqkImageDataFormat::qkImageBitmap ||
        format == TqkImageDataFormat::qkImageMemoryBmp)
        return;
    std::unique_ptr<TBitmap> bitmap = GetAsBitmap();
    SetBitmap(*bitmap);
}

// Set again at start-up: a library stopped and started again describes its codecs as before.
void qkSmartImageInitialization() {
    g_descriptionSuffix = kDescriptionSuffix;
}

void qkSmartImageFinalization() {
    g_descriptionSuffix.clear();
}
