#include "imaging/qkGDIPlusClasses_Private.h"

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr INT kPixelFormatIndexed = 0x00010000;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000;
constexpr std::size_t kPaletteHeaderWords = 2; // Flags, Count

bool completeActivePalette(GpImage* AImage) {
    INT format = 0;
    if (qkgdip::GdipGetImagePixelFormat(AImage, &format) != Status::Ok)
        return false;
    if (!(format & kPixelFormatIndexed))
        return true;
    const int depth = (format >> 8) & 0xFF;
    if (depth < 1 || depth > 8)
        return false;
    const std::uint32_t capacity = 1u << depth;
    INT size = 0;
    if (qkgdip::GdipGetImagePaletteSize(AImage, &size) != Status::Ok ||
        size < static_cast<INT>(kPaletteHeaderWords * 4))
        return false;
    // Words, so that the block is aligned as the palette record.
    std::vector<std::uint32_t> read((static_cast<std::size_t>(size) + 3) / 4);
    auto* palette = reinterpret_cast<TGpColorPalette*>(read.data());
    if (qkgdip::GdipGetImagePalette(AImage, palette, size) != Status::Ok)
        return false;
    const std::size_t held =
        std::min<std::size_t>(palette->Count, read.size() - kPaletteHeaderWords);
    if (held >= capacity)
        return true;
    std::vector<std::uint32_t> full(kPaletteHeaderWords + capacity, kOpaqueBlack);
    full[0] = palette->Flags;
    full[1] = capacity;
    std::copy_n(read.begin() + kPaletteHeaderWords, held, full.begin() + kPaletteHeaderWords);
    return qkgdip::GdipSetImagePalette(
               AImage, reinterpret_cast<const TGpColorPalette*>(full.data())) == Status::Ok;
}

} // namespace

bool GpCompletePalettes(GpImage* AImage) {
    UINT dimensions = 0;
    TGUID dimension{};
    UINT frames = 1;
    if (qkgdip::GdipImageGetFrameDimensionsCount(AImage, &dimensions) == Status::Ok &&
        dimensions == 1 &&
        qkgdip::GdipImageGetFrameDimensionsList(AImage, &dimension, 1) == Status::Ok &&
        qkgdip::GdipImageGetFrameCount(AImage, &dimension, &frames) != Status::Ok)
        return false;
    if (frames <= 1)
        return completeActivePalette(AImage);
    // Each frame has a palette of its own; the first frame is left active, as decoded.
    bool complete = true;
    for (UINT frame = 0; frame < frames && complete; ++frame)
        complete = qkgdip::GdipImageSelectActiveFrame(AImage, &dimension, frame) == Status::Ok &&
                   completeActivePalette(AImage);
    return qkgdip::GdipImageSelectActiveFrame(AImage, &dimension, 0) == Status::Ok && complete;
}
