#pragma once

// GDI+'s published enumerations and records, with GDI+'s member names and values.

#include "platform/gdi/GdiPlusTypes.h"

#include <cstdint>
#include <vector>

// Status, the image and graphics objects and the pixel formats come from the platform.
struct GpRegion;
struct GpImageAttributes;

enum class WrapMode : std::int32_t {
    WrapModeTile = 0,
    WrapModeTileFlipX = 1,
    WrapModeTileFlipY = 2,
    WrapModeTileFlipXY = 3,
    WrapModeClamp = 4,
};

enum class DashStyle : std::int32_t {
    DashStyleSolid = 0,
    DashStyleDash = 1,
    DashStyleDot = 2,
    DashStyleDashDot = 3,
    DashStyleDashDotDot = 4,
    DashStyleCustom = 5,
};

enum class LinearGradientMode : std::int32_t {
    LinearGradientModeHorizontal = 0,
    LinearGradientModeVertical = 1,
    LinearGradientModeForwardDiagonal = 2,
    LinearGradientModeBackwardDiagonal = 3,
};

enum class TqkGpLineJoin : std::int32_t {
    LineJoinMiter = 0,
    LineJoinBevel = 1,
    LineJoinRound = 2,
    LineJoinMiterClipped = 3,
};

enum class TqkGpColorChannelFlags : std::int32_t {
    ColorChannelFlagsC = 0,
    ColorChannelFlagsM = 1,
    ColorChannelFlagsY = 2,
    ColorChannelFlagsK = 3,
    ColorChannelFlagsLast = 4,
};

enum class TqkGpTextRenderingHint : std::int32_t {
    TextRenderingHintSystemDefault = 0,
    TextRenderingHintSingleBitPerPixelGridFit = 1,
    TextRenderingHintSingleBitPerPixel = 2,
    TextRenderingHintAntiAliasGridFit = 3,
    TextRenderingHintAntiAlias = 4,
    TextRenderingHintClearTypeGridFit = 5,
};

enum class TqkGpCoordinateSpace : std::int32_t {
    CoordinateSpaceWorld = 0,
    CoordinateSpacePage = 1,
    CoordinateSpaceDevice = 2,
};

enum class TqkGpStringAlignment : std::int32_t {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

enum class TqkGpStringTrimming : std::int32_t {
    StringTrimmingNone = 0,
    StringTrimmingCharacter = 1,
    StringTrimmingWord = 2,
    StringTrimmingEllipsisCharacter = 3,
    StringTrimmingEllipsisWord = 4,
    StringTrimmingEllipsisPath = 5,
};

enum class TqkGpStringDigitSubstitute : std::int32_t {
    StringDigitSubstituteUser = 0,
    StringDigitSubstituteNone = 1,
    StringDigitSubstituteNational = 2,
    StringDigitSubstituteTraditional = 3,
};

struct TqkGpCharacterRange {
    std::int32_t First = 0;
    std::int32_t Length = 0;
};

enum class TqkGPHotkeyPrefix : std::int32_t {
    HotkeyPrefixNone = 0,
    HotkeyPrefixShow = 1,
    HotkeyPrefixHide = 2,
};

enum class TqkGpColorAdjustType : std::int32_t {
    ColorAdjustTypeDefault = 0,
    ColorAdjustTypeBitmap = 1,
    ColorAdjustTypeBrush = 2,
    ColorAdjustTypePen = 3,
    ColorAdjustTypeText = 4,
    ColorAdjustTypeCount = 5,
    ColorAdjustTypeAny = 6,
};

struct TqkGpColorMatrix {
    float m[5][5] = {};
};
using PqkGpColorMatrix = TqkGpColorMatrix*;

enum class TqkGpColorMatrixFlags : std::int32_t {
    ColorMatrixFlagsDefault = 0,
    ColorMatrixFlagsSkipGrays = 1,
    ColorMatrixFlagsAltGray = 2,
};

struct TqkGpPointF {
    float X = 0;
    float Y = 0;
};
using TqkGpPointFDynArray = std::vector<TqkGpPointF>;

// Variable length: Count entries follow in GDI+'s own block.
struct TGpColorPalette {
    std::uint32_t Flags = 0;
    std::uint32_t Count = 0;
    std::uint32_t Entries[1] = {};
};

struct TGpColorMap {
    std::uint32_t oldColor = 0;
    std::uint32_t newColor = 0;
};

enum class TqkGpMatrixOrder : std::int32_t {
    MatrixOrderPrepend = 0,
    MatrixOrderAppend = 1,
};
