#include "app/QibClientServ/QibClientServ.h"

#include "platform/LockedFile.h"
#include "tests/support/ScopedEnvVar.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

class QibClientServTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_dataFolder.emplace("TOBRASK_BARES_DIR", m_dir.path());
    }
    void writeIni(const char* name, const QByteArray& bytes) {
        lockedfile::writeAll(m_dir.filePath(name), bytes);
    }
    static QString answer(int what) { return QString::fromUtf16(qbx(what)); }

    QTemporaryDir m_dir;
    std::optional<testsupport::ScopedEnvVar> m_dataFolder;
};

TEST_F(QibClientServTest, MissingFileAnswersNilAndEmpty) {
    EXPECT_EQ(answer(6), QStringLiteral("nil"));
    EXPECT_EQ(answer(1), QString());
    EXPECT_EQ(answer(2), QString());
}

TEST_F(QibClientServTest, AnswersComeFromTheFileAtEachCall) {
    writeIni("QibClientServ.ini", "192.168.0.10\r\nA0B1C2\r\n");
    EXPECT_EQ(answer(6), QStringLiteral("192.168.0.10"));
    EXPECT_EQ(answer(1), QStringLiteral("A0B1C2"));
    writeIni("QibClientServ.ini", "nil\r\n");
    EXPECT_EQ(answer(6), QStringLiteral("nil"));
    EXPECT_EQ(answer(1), QString());
}

TEST_F(QibClientServTest, TheFileIsFoundWhateverTheCaseOfItsName) {
    writeIni("QIBCLIENTSERV.INI", "10.1.1.5\n");
    EXPECT_EQ(answer(6), QStringLiteral("10.1.1.5"));
}

TEST_F(QibClientServTest, TheTextStaysUntilTheNextCall) {
    writeIni("QibClientServ.ini", "10.1.1.5\r\nFF00\r\n");
    const char16_t* address = qbx(6);
    EXPECT_EQ(QString::fromUtf16(address), QStringLiteral("10.1.1.5"));
}

} // namespace
