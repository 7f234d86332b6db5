// The smart image made from and copied to other things: pixels, bitmaps, field values,
// resources and other pictures.

#include "imaging/qkSmartImage.h"

#include "platform/graphics/Canvas.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/Metafile.h"
#include "platform/rtl/Resources.h"

#include <QtEndian>

namespace {

// A data set's blob header: count 1, type 0x0100 and the size of what follows.
bool hasBlobHeader(const std::string& ABytes) {
    if (ABytes.size() < 8)
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(ABytes.data());
    return qFromLittleEndian<quint16>(bytes) == 1 &&
           qFromLittleEndian<quint16>(bytes + 2) == 0x0100 &&
           qFromLittleEndian<quint32>(bytes + 4) == ABytes.size() - 8;
}

// The image of a smart image as a stream, encoded by its own format.
void saveThroughStream(TqkCustomSmartImage& ASource, TqkCustomSmartImage& ATarget) {
    TMemoryStream stream;
    ASource.SaveToStream(stream);
    stream.SetPosition(0);
    ATarget.LoadFromStream(stream);
}

} // namespace

std::unique_ptr<TqkCustomSmartImage> TqkCustomSmartImage::Clone() {
    std::unique_ptr<TGraphic> made = createGraphic(classType());
    std::unique_ptr<TqkCustomSmartImage> clone(dynamic_cast<TqkCustomSmartImage*>(made.get()));
    if (!clone)
        clone = std::make_unique<TqkCustomSmartImage>();
    else
        (void)made.release();
    clone->AssignFromSmartImage(*this);
    return clone;
}

void TqkCustomSmartImage::LoadFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits,
                                       bool AHasAlphaChannel) {
    LoadFromBits(AWidth, AHeight, std::move(ABits), AlphaFormatOf(AHasAlphaChannel));
}

void TqkCustomSmartImage::LoadFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits,
                                       TAlphaFormat AAlphaFormat) {
    AssignBits(AWidth, AHeight, std::move(ABits), AAlphaFormat);
    NotifyChanged();
}

void TqkCustomSmartImage::AssignBits(int AWidth, int AHeight, TqkRGBColorsRef ABits,
                                     TAlphaFormat AAlphaFormat) {
    FreeHandleAndData();
    FImageData->LoadFromBits(std::move(ABits), TSize{AWidth, AHeight}, AAlphaFormat);
}

void TqkCustomSmartImage::LoadFromHBitmap(HBITMAP ABitmap, HPALETTE APalette) {
    TBitmap bitmap;
    bitmap.SetHandle(ABitmap);
    bitmap.SetPalette(APalette);
    // Handed back also when reading fails: the caller owns both handles.
    struct GiveBack {
        TBitmap& bitmap;
        ~GiveBack() {
            (void)bitmap.ReleasePalette();
            (void)bitmap.ReleaseHandle();
        }
    } giveBack{bitmap};
    LoadFromBitmap(bitmap);
}

void TqkCustomSmartImage::LoadFromFieldValue(const TqkVariant& AValue) {
    if (!IsVariantStringLike(AValue))
        return;
    const std::string bytes = VariantToRawString(AValue);
    TMemoryStream stream(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (hasBlobHeader(bytes))
        stream.SetPosition(8);
    if (!bytes.empty())
        LoadFromStream(stream);
}

void TqkCustomSmartImage::LoadFromResource(HINSTANCE AInstance, const QString& AResName,
                                           LPCWSTR AResType) {
    if (AResType == RT_BITMAP) {
        TBitmap bitmap;
        bitmap.LoadFromResourceName(AInstance, AResName);
        LoadFromBitmap(bitmap);
        NotifyChanged();
        return;
    }
    TResourceStream stream(AInstance, AResName, AResType);
    LoadFromStream(stream);
}

void TqkCustomSmartImage::Assign(TPersistent* ASource) {
    if (!ASource) {
        Clear();
        return;
    }
    if (auto* image = dynamic_cast<TqkCustomSmartImage*>(ASource)) {
        AssignFromSmartImage(*image);
        return;
    }
    if (auto* graphic = dynamic_cast<TGraphic*>(ASource)) {
        AssignFromGraphic(*graphic);
        return;
    }
    if (dynamic_cast<TClipboard*>(ASource)) {
        PasteFromClipboard();
        return;
    }
    TGraphic::Assign(ASource);
}

void TqkCustomSmartImage::AssignFromSmartImage(TqkCustomSmartImage& AImage) {
    // Clearing first would leave nothing to copy.
    if (&AImage == this)
        return;
    if (AImage.Empty()) {
        Clear();
        return;
    }
    if (!AImage.FImageData->Empty()) {
        FreeHandleAndData();
        FImageData->Assign(AImage.FImageData.get());
        NotifyChanged();
        return;
    }
    if (AImage.ImageDataFormat() == TqkImageDataFormat::qkImageBitmap) {
        std::unique_ptr<TBitmap> bitmap = AImage.GetAsBitmap();
        SetBitmap(*bitmap);
        return;
    }
    saveThroughStream(AImage, *this);
}

void TqkCustomSmartImage::AssignFromGraphic(TGraphic& AGraphic) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(&AGraphic)) {
        SetBitmap(*bitmap);
        return;
    }
    if (dynamic_cast<TMetafile*>(&AGraphic)) {
        TMemoryStream stream;
        AGraphic.SaveToStream(stream);
        stream.SetPosition(0);
        LoadFromStream(stream);
        return;
    }
    TBitmap bitmap;
    if (auto* icon = dynamic_cast<TIcon*>(&AGraphic)) {
        bitmap.Assign(icon);
    } else {
        bitmap.SetPixelFormat(TPixelFormat::pf24bit);
        bitmap.SetSize(AGraphic.Width(), AGraphic.Height());
        bitmap.Canvas().Draw(0, 0, &AGraphic);
    }
    SetBitmap(bitmap);
}

void TqkCustomSmartImage::CopyToTarget(TPersistent* ADest) {
    if (auto* image = dynamic_cast<TqkCustomSmartImage*>(ADest)) {
        image->Assign(this);
        return;
    }
    if (auto* metafile = dynamic_cast<TMetafile*>(ADest)) {
        AssignToMetafile(*metafile);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(ADest)) {
        std::unique_ptr<TBitmap> mine = GetAsBitmap();
        bitmap->Assign(mine.get());
        return;
    }
    TGraphic::CopyToTarget(ADest);
}

void TqkCustomSmartImage::AssignToMetafile(TMetafile& AMetafile) {
    const TqkImageDataFormat format =
        AMetafile.Enhanced() ? TqkImageDataFormat::qkImageEmf : TqkImageDataFormat::qkImageWmf;
    std::unique_ptr<TqkSmartImageDataStream> exported =
        ExportImage(TqkSmartImageCodecsRepository::GetFormatByID(format));
    exported->SetPosition(0);
    AMetafile.LoadFromStream(*exported);
}

bool TqkCustomSmartImage::HasSameImage(TGraphic* AOther) {
    if (auto* image = dynamic_cast<TqkCustomSmartImage*>(AOther))
        return Compare(image);
    return TGraphic::HasSameImage(AOther);
}

bool TqkCustomSmartImage::Compare(TqkCustomSmartImage* AImage) {
    if (!AImage)
        return false;
    return ImageHandle()->Equals(AImage->ImageHandle());
}
