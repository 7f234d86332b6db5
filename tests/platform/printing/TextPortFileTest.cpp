#include "platform/printing/TextPortFile.h"

#include "platform/printing/PrintingErrors.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(TextPortFile, WritesWindows1252LinesEndedByCrLfAndEmptiesTheFileFirst) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LPT1.txt");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older and much longer ticket that must not survive\r\n");
    }
    printing::TextPortFile port(path);
    port.writeLine(QStringLiteral("Pedido: 7 Mesa: 000012"));
    port.writeLine(QString());
    port.writeLine(QStringLiteral("Açaí € 1,50\tx"));
    port.close();
    EXPECT_EQ(contents(path), QByteArray("Pedido: 7 Mesa: 000012\r\n"
                                         "\r\n"
                                         "A\xe7"
                                         "a\xed \x80 1,50\tx\r\n"));
}

TEST(TextPortFile, AMissingFolderFailsToOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath("nao/existe/porta.txt");
    try {
        printing::TextPortFile port(path);
        FAIL() << "opened";
    } catch (const printing::OutputError& error) {
        EXPECT_NE(std::string(error.what()).find("nao/existe/porta.txt"), std::string::npos);
    }
}

TEST(TextPortFile, AFullDeviceFailsToWrite) {
    printing::TextPortFile port(QStringLiteral("/dev/full"));
    EXPECT_THROW(port.writeLine(QStringLiteral("linha")), printing::OutputError);
}

} // namespace
