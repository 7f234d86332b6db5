#pragma once

// The smart image: a picture that keeps its image as the encoded bytes it was given, reads
// its size from the header, decodes on demand through an ordered repository of codecs and
// paints through the decoded handle. Everything here runs on the thread that owns the
// windows; nothing is locked (painting serialises itself in the paint canvas).

#include "imaging/qkCore.h"
#include "imaging/qkCoreGraphics.h"
#include "imaging/vqGeometry.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"
#include "platform/rtl/Classes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace threading {
class Timer;
}
class TMetafile;

enum class TqkImageDataFormat : std::uint8_t {
    qkImageUnknown = 0,
    qkImageBitmap = 1,
    qkImageJpeg = 2,
    qkImagePng = 3,
    qkImageTiff = 4,
    qkImageGif = 5,
    qkImageEmf = 6,
    qkImageExif = 7,
    qkImageIcon = 8,
    qkImageMemoryBmp = 9,
    qkImageWmf = 10,
};

// A pixel array shared by its holders: a GDI+ bitmap made over it reads the same memory, so
// it lives as long as any of them.
using TqkRGBColorsRef = std::shared_ptr<TRGBColors>;

// Encoded image bytes exactly as they came.
class TqkSmartImageDataStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    // All the bytes in a new stream of the source's own class at position 0; null for no
    // stream. The source's position is left where it was.
    static std::unique_ptr<TqkSmartImageDataStream> Clone(const TqkSmartImageDataStream* ASource);

protected:
    // An empty stream of this one's class.
    virtual std::unique_ptr<TqkSmartImageDataStream> CreateEmpty() const;
};

// The undecoded image of a smart image, owned by it: encoded bytes or pixels, and the sizes
// known before decoding.
class TqkSmartImageData {
public:
    TqkSmartImageData() = default;
    ~TqkSmartImageData() { Clear(); }
    TqkSmartImageData(const TqkSmartImageData&) = delete;
    TqkSmartImageData& operator=(const TqkSmartImageData&) = delete;

    void Clear();
    // Keeps the bytes from the position to the end, uninspected.
    void LoadFromStream(TStream& AStream);
    // Takes the caller's array itself (shared).
    void LoadFromBits(TqkRGBColorsRef ABits, const TSize& ASize, TAlphaFormat AAlphaFormat);
    void LoadFromBitmap(TBitmap& ABitmap);
    // Bits shared, bytes cloned, sizes copied; the transparency settings stay.
    void Assign(const TqkSmartImageData* ASource);
    // For bits whose alpha carries nothing: alpha 0 for the transparent key, 255 elsewhere.
    void SetTransparencyAlpha();

    bool Empty() const;
    bool HasBits() const { return FBits && !FBits->empty(); }

    bool FTransparent = false;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = TTransparentMode::tmAuto;
    TqkRGBColorsRef FBits;
    TAlphaFormat FBitsFormat = TAlphaFormat::afIgnored;
    std::unique_ptr<TqkSmartImageDataStream> FData;
    TSize FNewSize;
    TSize FSize;
};

class TqkSmartImageHelper {
public:
    static TRGBColors AllocColors(int AWidth, int AHeight, TqkAlphaColor AColor);
    static bool AreColorsPremultiplied(const TRGBColors& ABits);
    static bool HasAlpha(const TRGBColors& ABits);
};

class TqkSmartImageCodec;
using TqkSmartImageCodecClass = const TqkSmartImageCodec*;

// The decoded image, owned by the smart image that holds it. Its optional abilities are the
// interfaces below, asked for with dynamic_cast.
class TqkSmartImageCustomHandle {
public:
    TqkSmartImageCustomHandle() = default;
    virtual ~TqkSmartImageCustomHandle() = default;
    TqkSmartImageCustomHandle(const TqkSmartImageCustomHandle&) = delete;
    TqkSmartImageCustomHandle& operator=(const TqkSmartImageCustomHandle&) = delete;

    virtual TSize GetSize() = 0;
    virtual void SetSize(const TSize& AValue);
    virtual bool Empty();
    virtual TqkAlphaState GetAlphaState();
    // A new bitmap of the library's default format with the image drawn into it.
    virtual std::unique_ptr<TBitmap> GetAsBitmap();
    virtual TRGBColors GetAsBitmapBits();
    // Coordinates truncated toward zero, then the integer form.
    virtual void Draw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource, BYTE AAlpha,
                      IqkColorPalette* APalette);
    virtual void Draw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
                      IqkColorPalette* APalette) = 0;

    bool Equals(TqkSmartImageCustomHandle* AObj);
    std::int32_t GetHashCode();

    TRect ClientRect() { return vqRectFromSize(GetSize()); }
    int Width() { return GetSize().cx; }
    int Height() { return GetSize().cy; }
};

class TqkSmartImageEmptyHandle : public TqkSmartImageCustomHandle {
public:
    using TqkSmartImageCustomHandle::Draw;
    TSize GetSize() override { return {}; }
    void Draw(HDC, const TRect&, const TRect&, BYTE, IqkColorPalette*) override {}
};

class IqkImageDataFormat {
public:
    virtual ~IqkImageDataFormat() = default;
    virtual TqkImageDataFormat GetImageDataFormat() = 0;
};

class IqkAnimatedImage {
public:
    virtual ~IqkAnimatedImage() = default;
    virtual std::uint32_t GetActiveFrame() = 0;
    virtual std::uint32_t AnimationFrameCount() = 0;
    virtual std::int32_t AnimationFrameDelay() = 0;
    virtual std::int32_t AnimationLoopCount() = 0;
    virtual void SetActiveFrame(std::uint32_t AValue) = 0;
};

class IqkImageCodecProvider {
public:
    virtual ~IqkImageCodecProvider() = default;
    virtual TqkSmartImageCodecClass GetCodecClass() = 0;
};

// A codec is used only through its one static instance (its "class"); it holds no state.
class TqkSmartImageCodec {
public:
    virtual ~TqkSmartImageCodec() = default;

    virtual QString ClassName() const = 0;
    virtual TqkImageDataFormat ID() const { return TqkImageDataFormat::qkImageUnknown; }
    virtual QString Description() const;
    // With its leading dot.
    virtual QString Ext() const { return {}; }
    // The size from the header, read from the current position.
    virtual bool GetSize(TStream&, TSize&) const { return false; }
    virtual bool CanLoadFromBits() const { return false; }
    // The signature test; the position is put back.
    virtual bool CanLoadStream(TStream&) const { return false; }
    virtual bool CanSaveImage(TqkSmartImageCustomHandle*) const { return false; }
    virtual bool Load(const TqkRGBColorsRef&, TAlphaFormat, int, int,
                      std::unique_ptr<TqkSmartImageCustomHandle>&) const {
        return false;
    }
    virtual bool Load(TStream&, std::unique_ptr<TqkSmartImageCustomHandle>&) const { return false; }
    virtual bool Save(TStream&, TqkSmartImageCustomHandle*) const { return false; }
};

// The one instance of a codec class.
template <typename T> TqkSmartImageCodecClass qkCodecClass() {
    static const T instance;
    return &instance;
}

// " graphics from Quorvane", after the extension in a codec's description.
const QString& qkSmartImageDescriptionSuffix();

// One process-wide ordered list of codecs, unguarded: registered at start-up, removed at
// shut-down. Every walk asks the codecs in registration order.
class TqkSmartImageCodecsRepository {
public:
    static void Register(TqkSmartImageCodecClass ACodec);
    static void Unregister(TqkSmartImageCodecClass ACodec);
    static bool Contains(TqkSmartImageCodecClass ACodec);
    static TqkSmartImageCodecClass GetItem(int AIndex);
    static int Count();
    // The list exists (from the first Register to the Unregister that empties it).
    static bool Exists();

    static TqkSmartImageCodecClass GetFormatByExt(const QString& AExt);
    static TqkSmartImageCodecClass GetFormatByID(TqkImageDataFormat AID);
    static TqkSmartImageCodecClass GetFormatFromStream(TStream& AStream);

    static bool GetImageInfo(const QString& AFileName, TSize& ASize,
                             TqkSmartImageCodecClass& ACodec);
    // On failure the position is back where it was.
    static bool GetImageInfo(TStream& AStream, TSize& ASize, TqkSmartImageCodecClass& ACodec);
    static bool GetImageInfo(TqkSmartImageData& AImageData, TSize& ASize,
                             TqkSmartImageCodecClass& ACodec);
    static bool Load(const TqkRGBColorsRef& ABits, TAlphaFormat AAlphaFormat, int AWidth,
                     int AHeight, std::unique_ptr<TqkSmartImageCustomHandle>& AHandle);
    static bool Load(TStream& AStream, std::unique_ptr<TqkSmartImageCustomHandle>& AHandle);
    static bool Load(TqkSmartImageData& AImageData,
                     std::unique_ptr<TqkSmartImageCustomHandle>& AHandle);
};

class TqkCustomSmartImage;

// Steps the frames of an animated smart image; this class has no timer, so frames never
// advance. It does not own the image.
class TqkSmartImageAnimationController {
public:
    explicit TqkSmartImageAnimationController(TqkCustomSmartImage* AImage) : FImage(AImage) {}
    virtual ~TqkSmartImageAnimationController();
    TqkSmartImageAnimationController(const TqkSmartImageAnimationController&) = delete;
    TqkSmartImageAnimationController& operator=(const TqkSmartImageAnimationController&) = delete;

    virtual void StartTimer() {}
    virtual void StopTimer() {}
    virtual bool IsTimerActive() { return false; }
    virtual void NextFrame();

    void StartAnimation() { StartTimer(); }
    void StopAnimation() { StopTimer(); }
    bool Active();

protected:
    // Expires when the controller goes: a step that runs the picture's change handlers
    // checks it before it touches the controller or the picture again.
    std::weak_ptr<void> Lifetime() const { return FLifetime; }

    TqkCustomSmartImage* FImage;

private:
    std::shared_ptr<void> FLifetime = std::make_shared<char>(0);
};

// A controller a caller may choose (qkSmartImageTimerAnimationControllerClass): a
// main-thread timer calls NextFrame after each frame's delay, once a Qt event loop runs. A
// change handler may stop, re-time or free the animation or the picture within a step.
class TqkSmartImageTimerAnimationController : public TqkSmartImageAnimationController {
public:
    explicit TqkSmartImageTimerAnimationController(TqkCustomSmartImage* AImage);
    ~TqkSmartImageTimerAnimationController() override;

    void StartTimer() override;
    void StopTimer() override;
    bool IsTimerActive() override;
    void NextFrame() override;

private:
    void UpdateInterval();

    std::unique_ptr<threading::Timer> FTimer;
};

// The replaceable controller class: makes the controller of an image (which it must not own).
using TqkSmartImageAnimationControllerClass =
    std::function<std::unique_ptr<TqkSmartImageAnimationController>(TqkCustomSmartImage*)>;
// Process-wide, main thread; initially makes a TqkSmartImageAnimationController, whose
// frames never advance.
TqkSmartImageAnimationControllerClass& qkSmartImageAnimationControllerClass();
// Makes a TqkSmartImageTimerAnimationController.
TqkSmartImageAnimationControllerClass qkSmartImageTimerAnimationControllerClass();

// A picture of the window library that keeps its encoded bytes, sizes itself from the
// header and decodes on first need. Owned by whoever made it (a TPicture owns its graphic).
// Raises EqkException ("Unsupported image format.", "Operation was not supported.") and
// passes EqkGdipException on from the decoded handle.
class TqkCustomSmartImage : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TqkCustomSmartImage"); }
    TPersistentClass classType() const override { return classOf<TqkCustomSmartImage>(); }

    TqkCustomSmartImage();
    ~TqkCustomSmartImage() override;

    static std::unique_ptr<TqkCustomSmartImage> CreateFromStream(TStream& AStream);

    // Constructors of a picture class T (a smart image class): none sends a change notice.
    // AHasAlphaChannel False reads the bits as afIgnored, True as afPremultiplied.
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateSize(int AWidth, int AHeight, TqkAlphaColor AColor) {
        return CreateFromBits<T>(
            AWidth, AHeight,
            std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(AWidth, AHeight, AColor)),
            true);
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateSize(const TRect& ARect, TqkAlphaColor AColor) {
        return CreateSize<T>(ARect.Width(), ARect.Height(), AColor);
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateSize(const TSize& ASize, TqkAlphaColor AColor) {
        return CreateSize<T>(ASize.cx, ASize.cy, AColor);
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits,
                                             bool AHasAlphaChannel) {
        return CreateFromBits<T>(AWidth, AHeight, std::move(ABits),
                                 AlphaFormatOf(AHasAlphaChannel));
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits,
                                             TAlphaFormat AAlphaFormat) {
        auto image = std::make_unique<T>();
        image->AssignBits(AWidth, AHeight, std::move(ABits), AAlphaFormat);
        return image;
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateFromBitmap(TBitmap& ABitmap) {
        auto image = std::make_unique<T>();
        image->LoadFromBitmap(ABitmap);
        return image;
    }
    template <typename T = TqkCustomSmartImage>
    static std::unique_ptr<T> CreateFromHBitmap(HBITMAP ABitmap) {
        auto image = std::make_unique<T>();
        image->LoadFromHBitmap(ABitmap, nullptr);
        return image;
    }
    // A new picture of this one's own class holding the same image; the caller owns it.
    std::unique_ptr<TqkCustomSmartImage> Clone();

    // Picture operations.
    void CopyToTarget(TPersistent* ADest) override;
    void Assign(TPersistent* ASource) override;
    void NotifyChanged() override;
    void PaintInRect(TCanvas& ACanvas, const TRect& ARect) override;
    // Another smart image by Compare (both decoded), any other picture as the window
    // library compares.
    bool HasSameImage(TGraphic* AOther) override;
    bool Empty() override;
    int Height() override { return GetSize().cy; }
    int Width() override { return GetSize().cx; }
    bool Transparent() override { return IsAlphaUsed(); }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    // Writes a temporary file beside the target and renames it over the target, so a failed
    // export leaves an existing file whole.
    void SaveToFile(const QString& AFileName) override;
    void LoadFromStream(TStream& AStream) override;
    void SaveToStream(TStream& AStream) override;
    void LoadFromClipboardFormat(WORD AFormat, HANDLE AData, HPALETTE APalette) override;
    void SaveToClipboardFormat(WORD& AFormat, HANDLE& AData, HPALETTE& APalette) override;

    virtual bool IsCacheWorthwhile(const TSize& AImageSize, const TSize& ATargetSize);
    virtual std::unique_ptr<TqkSmartImageCustomHandle> CreateCacheHandle(const TSize& ASize);
    virtual bool IsBitmapStream(TStream& AStream);
    virtual void LoadFromBitmap(TBitmap& ABitmap);
    virtual void FreeHandleAndData();
    virtual void Clear();
    virtual std::unique_ptr<TBitmap> GetAsBitmap();
    virtual void Resize(int AWidth, int AHeight);
    virtual void SetBitmap(TBitmap& ABitmap);
    virtual void AssignFromSmartImage(TqkCustomSmartImage& AImage);
    virtual void AssignFromGraphic(TGraphic& AGraphic);
    virtual void AssignToMetafile(TMetafile& AMetafile);
    // Both pictures are decoded; the same size and pixels compare equal.
    virtual bool Compare(TqkCustomSmartImage* AImage);
    virtual void ChangeColor(TColor AColor);

    // Loading from other forms (each but AssignBits and LoadFromHBitmap sends a change
    // notice). The bits are shared, not copied.
    void LoadFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits, bool AHasAlphaChannel);
    void LoadFromBits(int AWidth, int AHeight, TqkRGBColorsRef ABits, TAlphaFormat AAlphaFormat);
    void AssignBits(int AWidth, int AHeight, TqkRGBColorsRef ABits, TAlphaFormat AAlphaFormat);
    // The caller keeps both handles.
    void LoadFromHBitmap(HBITMAP ABitmap, HPALETTE APalette);
    // A text or byte array of a data set's field, with or without its 8-byte blob header;
    // any other value is ignored.
    void LoadFromFieldValue(const TqkVariant& AValue);
    // Throws EResNotFound for a resource that does not exist (platform/rtl/Resources.h).
    void LoadFromResource(HINSTANCE AInstance, const QString& AResName, LPCWSTR AResType);

    // The clipboard, in the order of preference PNG, GIF, TIFF, JPEG, bitmap.
    static bool HasClipboardFormat();
    static bool IsSupportClipboardFormat(WORD AFormat);
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    virtual bool PastePreferredClipboardFormat();

    // A divisor of 0 leaves the picture as it is.
    void Scale(int M, int D);

    // Frames (each decodes the picture).
    std::uint32_t AnimationFrameCount();
    std::uint32_t ActiveFrame();
    void SetActiveFrame(std::uint32_t AValue);
    std::int32_t AnimationLoopCount();
    std::int32_t AnimationLoopIndex() const { return FAnimationLoopIndex; }
    std::int32_t AnimationFrameDelay();
    void SetAnimationFrameDelay(std::int32_t AValue);
    bool Animation();
    void SetAnimation(bool AValue);
    bool CanAnimate();
    void StartAnimation();
    void StopAnimation();

    void Resize(const TSize& ASize);
    void ReadImageData(TStream& AStream);
    void SaveToStreamByCodec(TStream& AStream, TqkImageDataFormat AFormat);
    void SaveToStreamByCodec(TStream& AStream, TqkSmartImageCodecClass ACodec);
    // The image as a new stream at position 0, encoded by the codec.
    std::unique_ptr<TqkSmartImageDataStream> ExportImage(TqkSmartImageCodecClass ACodec);

    TqkSmartImageCodecClass ImageCodec();
    void SetImageCodec(TqkSmartImageCodecClass AValue);
    TqkImageDataFormat ImageDataFormat();
    void SetImageDataFormat(TqkImageDataFormat AValue);

    TSize GetSize();
    TRect ClientRect() { return vqRectFromSize(GetSize()); }
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    TqkSmartImageCustomHandle* ImageHandle();
    // Takes ownership.
    void SetImageHandle(std::unique_ptr<TqkSmartImageCustomHandle> AHandle);
    TqkAlphaState CachedAlphaState();
    bool IsAlphaUsed() { return CachedAlphaState() != TqkAlphaState::asOpaque; }

    void StretchDraw(HDC DC, const TRect& ADest, BYTE AAlpha, IqkColorPalette* APalette);
    void StretchDraw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
                     IqkColorPalette* APalette);
    void StretchDraw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource, BYTE AAlpha,
                     IqkColorPalette* APalette);

    TRGBColors GetBitmapBits();
    std::int32_t GetHashCode();
    void ConvertToBitmap();
    // Frees the decoded image, keeping (or making) the encoded bytes.
    void Dormant();
    void EnsureImageData();

    // The picture itself when it offers I, else what its decoded handle offers (it decodes;
    // "Unsupported image format." passes out); null when neither does. The picture-level
    // query is this, not a slot of TGraphic: our interfaces are asked with dynamic_cast.
    template <typename I> I* QueryInterface() {
        if (auto* own = dynamic_cast<I*>(this))
            return own;
        return dynamic_cast<I*>(ImageHandle());
    }

    // Raises EqkException with the message when the condition is false.
    static void CheckOperation(bool ACondition, const char* AMessage);

    const TqkSmartImageData& ImageData() const { return *FImageData; }
    bool UseCache() const { return FUseCache; }
    void SetUseCache(bool AValue) { FUseCache = AValue; }

    TqkDefaultBoolean AnimationLoop = TqkDefaultBoolean::bTrue;

protected:
    static TAlphaFormat AlphaFormatOf(bool AHasAlphaChannel) {
        return AHasAlphaChannel ? TAlphaFormat::afPremultiplied : TAlphaFormat::afIgnored;
    }
    IqkAnimatedImage* AnimatedImage();
    void DecodeHandle();
    bool CheckCache(const TSize& ATarget, IqkColorPalette* APalette);

    TqkAlphaState FAlphaState = TqkAlphaState::asNoAlpha;
    bool FAlphaStateAssigned = false;
    std::unique_ptr<TqkSmartImageAnimationController> FAnimationController;
    std::int32_t FAnimationFrameDelay = 0;
    std::int32_t FAnimationLoopIndex = 0;
    std::unique_ptr<TqkSmartImageCustomHandle> FCache;
    TGUID FCachePaletteID;
    std::unique_ptr<TqkSmartImageCustomHandle> FHandle;
    std::unique_ptr<TqkSmartImageData> FImageData;
    bool FUseCache = false;
};

// Unit sections of qkSmartImage: the start-up sets the description suffix, the shut-down
// releases it.
void qkSmartImageInitialization();
void qkSmartImageFinalization();
