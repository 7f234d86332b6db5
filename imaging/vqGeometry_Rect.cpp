#include "imaging/vqGeometry.h"

void TvqGeometryObject::DoChange() {
    CallNotifyEvent(OnChange, this);
}
void TvqGeometryObject::ChangeScale(int, int) {}
void TvqGeometryObject::LoadFromStream(TStream&) {}
void TvqGeometryObject::SaveToStream(TStream&) {}

void TvqRect::ChangeScale(int M, int D) {
    TvqGeometryObject::ChangeScale(M, D);
    SetRect(vqRectScale(FRect, M, D, M, D));
}

namespace {

std::int32_t readLE32(const unsigned char* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

void writeLE32(unsigned char* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

void TvqRect::LoadFromStream(TStream& AStream) {
    unsigned char bytes[16];
    AStream.ReadBuffer(bytes, sizeof bytes);
    SetRect({readLE32(bytes), readLE32(bytes + 4), readLE32(bytes + 8), readLE32(bytes + 12)});
}

void TvqRect::SaveToStream(TStream& AStream) {
    unsigned char bytes[16];
    writeLE32(bytes, FRect.Left);
    writeLE32(bytes + 4, FRect.Top);
    writeLE32(bytes + 8, FRect.Right);
    writeLE32(bytes + 12, FRect.Bottom);
    AStream.WriteBuffer(bytes, sizeof bytes);
}

int TvqRect::GetValue(int AIndex) const {
    switch (AIndex) {
    case 0:
        return FRect.Left;
    case 1:
        return FRect.Top;
    case 2:
        return FRect.Right;
    default:
        return FRect.Bottom;
    }
}

void TvqRect::SetValue(int AIndex, int AValue) {
    TRect r = FRect;
    switch (AIndex) {
    case 0:
        r.Left = AValue;
        break;
    case 1:
        r.Top = AValue;
        break;
    case 2:
        r.Right = AValue;
        break;
    case 3:
        r.Bottom = AValue;
        break;
    default:
        break;
    }
    SetRect(r);
}

TPoint TvqRect::GetPoint(int AIndex) const {
    switch (AIndex) {
    case 0:
        return {FRect.Left, FRect.Top};
    case 1:
        return {FRect.Right, FRect.Top};
    case 2:
        return {FRect.Left, FRect.Bottom};
    default:
        return {FRect.Right, FRect.Bottom};
    }
}

void TvqRect::SetPoint(int AIndex, const TPoint& AValue) {
    TRect r = FRect;
    switch (AIndex) {
    case 0:
        r.Left = AValue.X;
        r.Top = AValue.Y;
        break;
    case 1:
        r.Right = AValue.X;
        r.Top = AValue.Y;
        break;
    case 2:
        r.Left = AValue.X;
        r.Bottom = AValue.Y;
        break;
    case 3:
        r.Right = AValue.X;
        r.Bottom = AValue.Y;
        break;
    default:
        break;
    }
    SetRect(r);
}

void TvqRect::SetWidth(int AValue) {
    TRect r = FRect;
    r.Right = r.Left + AValue;
    SetRect(r);
}

void TvqRect::SetHeight(int AValue) {
    TRect r = FRect;
    r.Bottom = r.Top + AValue;
    SetRect(r);
}

void TvqRect::SetRect(const TRect& AValue) {
    TRect r = AValue;
    AdjustRect(r);
    if (r == FRect)
        return;
    FRect = r;
    DoChange();
}

void TvqRect::DoAssign(const TPersistent* Source) {
    TvqGeometryObject::DoAssign(Source);
    if (const auto* source = dynamic_cast<const TvqRect*>(Source))
        SetRect(source->FRect);
}

void TvqRect::AdjustRect(TRect&) {}

void vqGeometryInitialization() {
    RegisterClass(classOf<TvqRect>());
}
void vqGeometryFinalization() {
    UnRegisterClass(classOf<TvqRect>());
}
