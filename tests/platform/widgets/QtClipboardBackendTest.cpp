#include "platform/widgets/QtClipboardBackend.h"

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>

namespace {

// The Windows clipboard functions over Qt's clipboard, as the program installs them.
class QtClipboardBackendTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "QtClipboardBackendTest";
        static char* argv[] = {name, nullptr};
        s_app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }
    void SetUp() override {
        QGuiApplication::clipboard()->clear();
        m_backend.emplace(std::make_shared<gdi::QtClipboardBackend>());
    }
    void TearDown() override { m_backend.reset(); }

    std::optional<gdi::ScopedClipboardBackend> m_backend;

    static void put(UINT format, const QByteArray& bytes) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<std::size_t>(bytes.size()));
        std::memcpy(GlobalLock(block), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        GlobalUnlock(block);
        ASSERT_NE(SetClipboardData(format, block), nullptr);
    }
    static const QMimeData& qtData() { return *QGuiApplication::clipboard()->mimeData(); }

    static QApplication* s_app;
};
QApplication* QtClipboardBackendTest::s_app = nullptr;

TEST_F(QtClipboardBackendTest, PictureFormatsTravelUnderTheirMimeTypesBesideTheBitmap) {
    const UINT png = RegisterClipboardFormatW(u"PNG");
    const UINT jpeg = RegisterClipboardFormatW(u"JPEG");
    const UINT own = RegisterClipboardFormatW(u"Cuvora Test Format");
    TBitmap bitmap(2, 1);
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.ScanLine(0)[0] = 0xFF0000FF;
    bitmap.ScanLine(0)[1] = 0xFF00FF00;

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    put(png, "\x89PNG bytes");
    put(jpeg, "\xFF\xD8 bytes");
    put(own, "own bytes");
    WORD format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    bitmap.SaveToClipboardFormat(format, data, palette);
    ASSERT_NE(SetClipboardData(format, data), nullptr);
    CloseClipboard();

    // What other programs see: every entry is kept when the next one is added.
    EXPECT_EQ(qtData().data(QStringLiteral("image/png")), QByteArray("\x89PNG bytes"));
    EXPECT_EQ(qtData().data(QStringLiteral("image/jpeg")), QByteArray("\xFF\xD8 bytes"));
    EXPECT_EQ(
        qtData().data(QStringLiteral("application/x-qt-windows-mime;value=\"Cuvora Test Format\"")),
        QByteArray("own bytes"));
    EXPECT_TRUE(qtData().hasImage());
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatW(u"GIF")));

    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL pasted = GetClipboardData(jpeg);
    ASSERT_EQ(GlobalSize(pasted), 8u);
    EXPECT_EQ(std::memcmp(GlobalLock(pasted), "\xFF\xD8 bytes", 8), 0);
    GlobalUnlock(pasted);
    TBitmap back;
    back.LoadFromClipboardFormat(CF_BITMAP, GetClipboardData(CF_BITMAP), nullptr);
    CloseClipboard();
    ASSERT_EQ(back.Width(), 2);
    EXPECT_EQ(back.ScanLine(0)[0], 0xFF0000FFu);
    EXPECT_EQ(back.ScanLine(0)[1], 0xFF00FF00u);
}

TEST_F(QtClipboardBackendTest, WhatAnotherProgramPutsThereIsReadAndEmptyingClearsIt) {
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/gif"), "GIF89a");
    QGuiApplication::clipboard()->setMimeData(mime);
    const UINT gif = RegisterClipboardFormatW(u"GIF");
    EXPECT_TRUE(IsClipboardFormatAvailable(gif));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT)) << "a standard format has no MIME type";

    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL pasted = GetClipboardData(gif);
    ASSERT_EQ(GlobalSize(pasted), 6u);
    EXPECT_EQ(std::memcmp(GlobalLock(pasted), "GIF89a", 6), 0);
    GlobalUnlock(pasted);
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(gif));
}

} // namespace
