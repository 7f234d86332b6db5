#pragma once

// The library started as the program starts it (real libgdiplus, the codecs and clipboard
// formats registered), and small picture helpers for the smart image tests.

#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkUnits.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

class ImagingEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qkInitializeUnits();
        ASSERT_TRUE(CheckGdiPlus(false));
    }
    void TearDown() override { qkFinalizeUnits(); }
};

inline QByteArray encodeImage(const QImage& AImage, const char* AFormat) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(AImage.save(&buffer, AFormat, 95));
    return bytes;
}

// Left half one colour, right half another.
inline QImage halvesImage(int AWidth, int AHeight, QColor ALeft, QColor ARight) {
    QImage image(AWidth, AHeight, QImage::Format_ARGB32);
    image.fill(ALeft);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(AWidth / 2, 0, AWidth - AWidth / 2, AHeight, ARight);
    return image;
}

template <typename T> std::unique_ptr<T> loadedImage(const QByteArray& ABytes) {
    auto image = std::make_unique<T>();
    TMemoryStream stream(ABytes);
    image->LoadFromStream(stream);
    return image;
}

inline std::uint32_t pixelAt(const TRGBColors& ABits, int AWidth, int X, int Y) {
    const RGBQUAD& p = ABits[static_cast<std::size_t>(Y * AWidth + X)];
    return (std::uint32_t(p.rgbReserved) << 24) | (std::uint32_t(p.rgbRed) << 16) |
           (std::uint32_t(p.rgbGreen) << 8) | p.rgbBlue;
}

inline bool samePixels(const TRGBColors& A, const TRGBColors& B) {
    return A.size() == B.size() && std::memcmp(A.data(), B.data(), A.size() * 4) == 0;
}

// Counts the change notices of a picture.
struct ChangeCounter {
    explicit ChangeCounter(TGraphic& AGraphic) {
        AGraphic.OnChange = [this](TPersistent*) { ++count; };
    }
    int count = 0;
};
