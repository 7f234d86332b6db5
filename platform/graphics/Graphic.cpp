#include "platform/graphics/Graphic.h"

#include "platform/gdi/SysColors.h"
#include "platform/graphics/Canvas.h"

COLORREF ColorToRGB(TColor color) {
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

namespace {

[[noreturn]] void conversionError(const QString& from, const QString& to) {
    throw EConvertError("Cannot assign a " + from.toStdString() + " to a " + to.toStdString());
}

QString nameOf(TPersistent* object) {
    return object ? object->ClassName() : QStringLiteral("nil");
}

} // namespace

void TGraphic::CopyToTarget(TPersistent* dest) {
    conversionError(ClassName(), nameOf(dest));
}

void TGraphic::Assign(TPersistent* source) {
    if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
        graphic->CopyToTarget(this);
        return;
    }
    conversionError(nameOf(source), ClassName());
}

void TGraphic::NotifyChanged() {
    m_modified = true;
    if (OnChange)
        OnChange(this);
}

void TGraphic::PaintWithOpacity(TCanvas& canvas, const TRect& rect, BYTE) {
    PaintInRect(canvas, rect);
}

bool TGraphic::HasSameImage(TGraphic* other) {
    if (!other || other->classType() != classType())
        return false;
    if (Empty() || other->Empty())
        return Empty() && other->Empty();
    TMemoryStream mine;
    TMemoryStream theirs;
    SaveToStream(mine);
    other->SaveToStream(theirs);
    return mine.bytes() == theirs.bytes();
}

void TGraphic::ReadStoredImage(TStream& stream) {
    LoadFromStream(stream);
}

void TGraphic::SetTransparent(bool value) {
    if (value == m_transparent)
        return;
    m_transparent = value;
    NotifyChanged();
}

void TGraphic::WriteStoredImage(TStream& stream) {
    SaveToStream(stream);
}

void TGraphic::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileStream::fmOpenRead | TFileStream::fmShareDenyNone);
    LoadFromStream(file);
}

void TGraphic::SaveToFile(const QString& fileName) {
    TFileStream file(fileName, TFileStream::fmCreate);
    SaveToStream(file);
}

void TGraphic::SetSize(int width, int height) {
    SetWidth(width);
    SetHeight(height);
}

std::unique_ptr<TGraphic> createGraphic(TGraphicClass cls) {
    if (!cls || !cls->create)
        return nullptr;
    std::unique_ptr<TPersistent> made = cls->create();
    if (auto* graphic = dynamic_cast<TGraphic*>(made.get())) {
        made.release();
        return std::unique_ptr<TGraphic>(graphic);
    }
    return nullptr;
}
