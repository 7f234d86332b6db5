// A stand-in for libgdiplus: logs the calls the binding tests watch to the file named by
// FAKE_GDIPLUS_LOG, one name a line. FAKE_GDIPLUS_STARTUP_FAILS makes GdiplusStartup fail.

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

void logCall(const char* name) {
    const char* path = std::getenv("FAKE_GDIPLUS_LOG");
    if (!path)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", name);
        std::fclose(file);
    }
}

[[maybe_unused]] Status hook(ULONG_PTR* token) {
    logCall("NotificationHook");
    *token = 42;
    return Status::Ok;
}

[[maybe_unused]] void unhook(ULONG_PTR token) {
    logCall(token == 42 ? "NotificationUnhook" : "NotificationUnhook?");
}

const char16_t kPngMime[] = u"image/png";
const char16_t kJpegMime[] = u"image/jpeg";

Status codecs(const char* name, UINT count, UINT size, ImageCodecInfo* out, TGUID first) {
    logCall(name);
    if (count != 2 || size != 2 * sizeof(ImageCodecInfo))
        return Status::InvalidParameter;
    std::memset(static_cast<void*>(out), 0, size);
    out[0].Clsid = first;
    out[0].MimeType = kPngMime;
    out[1].Clsid = first;
    out[1].Clsid.D1 += 1;
    out[1].MimeType = kJpegMime;
    return Status::Ok;
}

Status codecsSize(UINT* count, UINT* size) {
    *count = 2;
    *size = 2 * sizeof(ImageCodecInfo);
    return Status::Ok;
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT void* GdipAlloc(std::size_t size) {
    logCall("GdipAlloc");
    return std::malloc(size);
}

FAKE_EXPORT void GdipFree(void* block) {
    logCall("GdipFree");
    std::free(block);
}

FAKE_EXPORT Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                                  GdiplusStartupOutput* output) {
    logCall("GdiplusStartup");
#ifdef FAKE_GDIPLUS_STARTUP_FAILS
    (void)token;
    (void)input;
    (void)output;
    return Status::UnsupportedGdiplusVersion;
#else
    if (input->GdiplusVersion != 1 || input->SuppressBackgroundThread != -1)
        return Status::InvalidParameter;
    *token = 7;
    output->NotificationHook = hook;
    output->NotificationUnhook = unhook;
    return Status::Ok;
#endif
}

FAKE_EXPORT void GdiplusShutdown(ULONG_PTR token) {
    logCall(token == 7 ? "GdiplusShutdown" : "GdiplusShutdown?");
}

FAKE_EXPORT Status GdipGetImageEncodersSize(UINT* count, UINT* size) {
    return codecsSize(count, size);
}

FAKE_EXPORT Status GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* out) {
    return codecs("GdipGetImageEncoders", count, size, out, TGUID{0x100, 1, 1, {}});
}

FAKE_EXPORT Status GdipGetImageDecodersSize(UINT* count, UINT* size) {
    return codecsSize(count, size);
}

FAKE_EXPORT Status GdipGetImageDecoders(UINT count, UINT size, ImageCodecInfo* out) {
    return codecs("GdipGetImageDecoders", count, size, out, TGUID{0x200, 2, 2, {}});
}
