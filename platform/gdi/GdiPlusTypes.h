#pragma once

// GDI+'s result codes, pixel formats, start-up records and the objects every caller shares,
// with GDI+'s names and values.

#include "platform/gdi/WinTypes.h"

#include <cstdint>

using ULONG_PTR = std::uintptr_t;
using REAL = float;
using ARGB = std::uint32_t;

struct GpImage {};
struct GpBitmap : GpImage {};
struct GpGraphics;
struct GpMatrix;

enum class Status : std::int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// Pixel formats, and the flag of the formats that carry alpha.
inline constexpr INT PixelFormatAlpha = 0x00040000;
inline constexpr INT PixelFormat32bppRGB = 0x00022009;
inline constexpr INT PixelFormat32bppARGB = 0x0026200A;
inline constexpr INT PixelFormat32bppPARGB = 0x000E200B;

using DebugEventProc = void (*)(INT level, char* message);
using NotificationHookProc = Status (*)(ULONG_PTR* token);
using NotificationUnhookProc = void (*)(ULONG_PTR token);

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = -1;
    BOOL SuppressExternalCodecs = 0;
};

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook = nullptr;
    NotificationUnhookProc NotificationUnhook = nullptr;
};
