#pragma once

// Start-up and shut-down of the GDI+ classes: when GDI+ starts, the smart images become
// picture classes of the window library (for each format GDI+ has a decoder for) and the ten
// GDI+ codecs fill the codecs repository; shut-down frees the library's shared GDI+ objects
// and takes every registration back. Main thread only, during start-up and shut-down.

#include "imaging/qkGDIPlusClasses.h"
#include "imaging/qkSmartImage.h"

#include <QString>

// Registers one picture format with its clipboard format, only when ADecoder is set.
void RegisterGraphicFormat(const TGUID& ADecoder, const QString& AExtension,
                           const QString& ADescription, TGraphicClass AGraphicClass,
                           TqkImageDataFormat AFormat, const QString& AClipboardFormatName);

// Without GDI+ only WindowFromDC is bound and nothing is registered, silently. A missing
// PNG encoder or decoder raises EqkGdipException; what was made by then is released first.
void InitializeGraphicClasses();
// Tolerates a start-up that stopped early, or none; GDI+ is still running when it runs.
void FinalizeGraphicClasses();

// The window of a device context through WindowFromDC where the platform has one (Linux
// has none: 0).
HWND SafeWindowFromDC(HDC DC);

// The clipboard format of an image format (CF_BITMAP for bitmaps); 0 until start-up
// registered one.
WORD qkImageClipboardFormat(TqkImageDataFormat AFormat);

GpGraphics* GpCanvasHandle(const TqkGPCanvas* ACanvas);

// Unit sections of qkGDIPlusClasses: hand the two procedures above to the units loader (the
// start-up runs at once), and take the shut-down back (which runs it).
void qkGDIPlusClassesInitialization();
void qkGDIPlusClassesFinalization();
