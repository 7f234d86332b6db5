#include "app/core/PassJournal.h"

#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

PassRecord sampleRecord(int items) {
    PassRecord record;
    record.orderNumber = QStringLiteral(" 41");
    record.printer = 5;
    record.table = QStringLiteral("MESA 10 ");
    record.waiter = QStringLiteral("João");
    record.fontSize = 9;
    record.header = {"PEDIDO       : 41", "COMANDA/MESA.:MESA 10 "};
    record.feed = {".", "."};
    record.copies = {{"Cozinha", "/dev/usb/lp0"}, {"Monitor Cozinha", ""}};
    for (int i = 0; i < items; ++i)
        record.items.append({.tabletId = 9'000'000'000'000'000'000 + i,
                             .mainId = 100 + i,
                             .codigo = QStringLiteral("P'%1\"").arg(i),
                             .monitorRows = i % 3,
                             .lines = {"", QStringLiteral("CAFÉ \\ %1").arg(i), "\n"}});
    return record;
}

class Journal : public ::testing::Test {
protected:
    QString path() const { return m_data.filePath(PassJournal::fileName); }
    QByteArray bytes() const { return testsupport::readFile(path()); }
    void setBytes(const QByteArray& bytes) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private:
    QTemporaryDir m_data;
    const testsupport::ScopedEnvVar m_dataFolder{"TOBRASK_BARES_DIR", m_data.path()};
};

TEST_F(Journal, KeepsAPassUntilItIsFinished) {
    PassJournal journal;
    EXPECT_FALSE(journal.pending());
    EXPECT_FALSE(QFile::exists(path())) << "a read creates nothing";

    const PassRecord record = sampleRecord(3);
    journal.begin(record);
    EXPECT_EQ(journal.pending(), record);
    // Read by another run of the program.
    EXPECT_EQ(PassJournal().pending(), record);

    journal.finish();
    EXPECT_FALSE(journal.pending());
    EXPECT_FALSE(PassJournal().pending());
}

TEST_F(Journal, AShorterRecordReplacesALongerOne) {
    PassJournal journal;
    journal.begin(sampleRecord(40));
    const qsizetype longer = bytes().size();
    const PassRecord shorter = sampleRecord(1);
    journal.begin(shorter);
    EXPECT_EQ(bytes().size(), longer) << "replaced in place";
    EXPECT_EQ(PassJournal().pending(), shorter);
}

// A write cut short by a power cut leaves bytes of both records: no whole record, so no
// pass to finish (the cut came before the pass wrote anything).
TEST_F(Journal, ATornOrForeignFileHoldsNoPass) {
    PassJournal().begin(sampleRecord(5));
    const QByteArray whole = bytes();
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"cut in the body", whole.left(whole.size() - 7)},
        {"a byte changed", QByteArray(whole).replace(whole.size() / 2, 1, "#")},
        {"cut in the head", whole.left(3)},
        {"done", QByteArray(whole).replace(0, 1, "D")},
        {"another file", QByteArray("[config]\r\nx=1\r\n")},
        {"a length too large", QByteArray("P\n99999999999 00\n{}")},
        {"a negative length", QByteArray("P\n-5 00\n{}")},
    };
    for (const auto& c : cases) {
        setBytes(c.bytes);
        EXPECT_FALSE(PassJournal().pending()) << c.name;
    }
}

} // namespace
