// Recolouring and scaling of the smart image (its Resize is with the size rule, in
// qkSmartImage.cpp).

#include "imaging/qkSmartImage.h"

#include "platform/gdi/Gdi.h"

void TqkCustomSmartImage::ChangeColor(TColor AColor) {
    if (AColor == clDefault || AColor == clNone || Empty())
        return;
    auto bits = std::make_shared<TRGBColors>(GetBitmapBits());
    qkColorizeBits(bits->data(), static_cast<int>(bits->size()), AColor);
    LoadFromBits(Width(), Height(), std::move(bits), true);
}

void TqkCustomSmartImage::Scale(int M, int D) {
    // MulDiv answers -1 for a divisor of 0, which would ask for a -1 by -1 picture.
    if (D == 0)
        return;
    Resize(MulDiv(Width(), M, D), MulDiv(Height(), M, D));
}
