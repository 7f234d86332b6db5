// A window's stored picture over any bytes: a length byte, the class name, the picture's own
// data. The picture classes are those the program registers, but without GDI+: a picture
// whose header gives no size then fails to decode with an error instead of reaching
// libgdiplus, whose decoders are not ours to fuzz. Reading it and asking its size may raise
// the library's errors, nothing else.
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "platform/graphics/Picture.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A path, not a name: each failed load is one failed open, not a search.
    qkSetGdiPlusLibraryName(QStringLiteral("/dev/null/libgdiplus.so.0"));
    RegisterClass(classOf<TqkPNGImage>());
    RegisterClass(classOf<TqkSmartImage>());
    for (const char* extension : {"TIFF", "TIF", "GIF", "JPEG", "JPG"})
        TPicture::RegisterFileFormat(QString::fromLatin1(extension), {}, classOf<TqkSmartImage>());
    TPicture::RegisterFileFormat(QStringLiteral("PNG"), {}, classOf<TqkPNGImage>());
    for (TqkSmartImageCodecClass codec :
         {qkCodecClass<TqkGPImageCodecBMP>(), qkCodecClass<TqkGPImageCodecMemoryBitmap>(),
          qkCodecClass<TqkGPImageCodecGIF>(), qkCodecClass<TqkGPImageCodecJPG>(),
          qkCodecClass<TqkGPImageCodecJPEG>(), qkCodecClass<TqkGPImageCodecPNG>(),
          qkCodecClass<TqkGPImageCodecTIF>(), qkCodecClass<TqkGPImageCodecTIFF>(),
          qkCodecClass<TqkGPImageCodecEMF>(), qkCodecClass<TqkGPImageCodecWMF>()})
        TqkSmartImageCodecsRepository::Register(codec);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryStream stream(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    TPicture picture;
    try {
        picture.ReadStoredPicture(stream);
        picture.Width();
        picture.Height();
    } catch (const std::runtime_error&) {
        // Short blocks, invalid bitmaps and undecodable data raise the library's errors.
    }
    return 0;
}
