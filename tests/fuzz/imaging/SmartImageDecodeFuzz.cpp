// Any bytes as a window's picture decoded through libgdiplus, as the program starts the
// library: the smart image is loaded and sized, and each of its frames is decoded, read as
// bits and drawn, opaque and translucent, into a device context of ours. What libgdiplus
// cannot decode ends in the library's errors; nothing else may leave the picture.
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkUnits.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include <sanitizer/lsan_interface.h>

namespace {

constexpr int kTarget = 24;
// Frames past these are not visited: each costs a full decode of the frame.
constexpr std::uint32_t kMaxFrames = 8;

struct TargetDC {
    TargetDC() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, kTarget, kTarget);
        old = SelectObject(dc, bitmap);
    }
    ~TargetDC() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

decltype(qkgdip::GdipLoadImageFromDelegate_linux) g_load = nullptr;

// libgdiplus's PNG decoder returns from a corrupt file without freeing a block it allocated
// for it (144 bytes each try): what libgdiplus allocates while it decodes is kept out of the
// leak check. The image it answers is disposed by the picture as always.
Status loadOutsideTheLeakCheck(GetHeaderDelegate AHeader, GetBytesDelegate ABytes,
                               PutBytesDelegate APut, SeekDelegate ASeek, CloseDelegate AClose,
                               SizeDelegate ASize, GpImage** AImage) {
    __lsan_disable();
    const Status status = g_load(AHeader, ABytes, APut, ASeek, AClose, ASize, AImage);
    __lsan_enable();
    return status;
}

} // namespace

// A frame far larger than its file makes libgdiplus ask for a block of hundreds of
// megabytes, or of a size overflowed to more than malloc can give, and answer OutOfMemory
// when malloc fails (measured: at once, outside the sanitizer). The sanitizer's allocator
// fails such blocks likewise instead of reporting them, or of filling one for seconds.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qkInitializeUnits();
    if (!CheckGdiPlus(false))
        std::abort();
    // Stopped as the program stops them, before the statics they use are destroyed.
    std::atexit(qkFinalizeUnits);
    g_load = qkgdip::GdipLoadImageFromDelegate_linux;
    qkgdip::GdipLoadImageFromDelegate_linux = loadOutsideTheLeakCheck;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream stream(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    TqkSmartImage picture;
    static TargetDC target;
    try {
        picture.LoadFromStream(stream);
        if (picture.Width() <= 0 || picture.Height() <= 0)
            return 0;
        const std::uint32_t frames = std::max<std::uint32_t>(picture.AnimationFrameCount(), 1);
        for (std::uint32_t frame = 0; frame < frames && frame < kMaxFrames; ++frame) {
            if (frame > 0)
                picture.SetActiveFrame(frame);
            picture.GetBitmapBits();
            (void)picture.Transparent();
            picture.StretchDraw(target.dc, TRect{0, 0, kTarget, kTarget}, 255, nullptr);
            picture.StretchDraw(target.dc, TRect{2, 2, kTarget - 2, kTarget - 2}, 128, nullptr);
        }
    } catch (const std::runtime_error&) {
        // Undecodable data and GDI+ failures raise the library's errors.
    }
    return 0;
}
