// The name encoder as a technician runs it: what it prints must decode to the name, and the
// name written so must head a real bill of the program.
#include "app/text/TextCodec.h"
#include "platform/Windows1252.h"
#include "tests/support/ProgramUnderTest.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct EncoderRun {
    int exitCode;
    QByteArray out;
    QString err;
};

EncoderRun encoder(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(CUVORA_ENCODER_PATH), arguments);
    if (!process.waitForFinished(30000))
        return {-1, {}, process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

TEST(EncodeName, PrintsOneLineThatDecodesToTheName) {
    const QString names[] = {
        QStringLiteral("Restaurante Exemplo"),
        QString::fromUtf8("Cantina São João"),
        QString::fromUtf8("Bar do Zé's & Cia. (filial 2)"),
        QStringLiteral("X"),
        // Blanks are kept: the bill centres the trimmed name and prints it as given.
        QStringLiteral("  Pizzaria Bella Napoli  "),
        // The codec's edges: codes 1 and 254, and no-break space.
        QString::fromUtf8("\x01\xC2\xA0\xC3\xBE"),
    };
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const EncoderRun run = encoder({name});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        ASSERT_TRUE(run.out.endsWith('\n'));
        const QString line = QString::fromLatin1(run.out.chopped(1));
        EXPECT_EQ(line.size(), 2 * (name.size() + 1));
        EXPECT_EQ(line, line.toUpper());
        EXPECT_EQ(TextCodec(QStringLiteral("D"), line), name);
    }
}

// The use on standard output for the help options; "--" lets a name start with "-".
TEST(EncodeName, HelpPrintsTheUseAndEncodesNothing) {
    for (const char* option : {"--help", "-h"}) {
        SCOPED_TRACE(option);
        const EncoderRun run = encoder({QString::fromLatin1(option)});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith("usage: cuvora-encode-name")) << run.out.constData();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
    const EncoderRun run = encoder({QStringLiteral("--"), QStringLiteral("-h")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(TextCodec(QStringLiteral("D"), QString::fromLatin1(run.out.chopped(1))),
              QStringLiteral("-h"));
}

TEST(EncodeName, RefusesWhatTheCodecCannotBringBack) {
    struct Case {
        QStringList arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 2},
        {{QString()}, 2},
        {{QStringLiteral("Bar"), QStringLiteral("do Porto")}, 2},
        {{QStringLiteral("--")}, 2},
        {{QStringLiteral("--help"), QStringLiteral("Bar")}, 2},
        {{QString::fromUtf8("Café €")}, 1},
        {{QString::fromUtf8("Restaurante “Sol”")}, 1},
        {{QString::fromUtf8("Cheers ÿ")}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u'|').toStdString());
        const EncoderRun run = encoder(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
        EXPECT_FALSE(run.err.isEmpty());
    }
}

// The real program through the private server, answering one bill request on a port file.
TEST(EncodeName, TheNameWrittenSoHeadsARealBill) {
    CUVORA_REQUIRE_FB_SERVER();
    const QString name = QString::fromUtf8("Cantina São João");
    const EncoderRun run = encoder({name});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    testsupport::ProgramUnderTest program;
    const QString bill = program.portFile("conta.txt");
    program.writeQibClientServ(program.server(), QString::fromLatin1(run.out.chopped(1)));
    // The bill to its port file, the kitchens printing nothing.
    program.writeDozEdiz({.destinations = {"Informar Porta", "Nao Imprimir", "Nao Imprimir",
                                           "Nao Imprimir", "Nao Imprimir"},
                          .ports = {bill}});
    program.onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', '0')");
    program.onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (9, '000012', '7', 2)");
    ASSERT_NO_FATAL_FAILURE(program.startProgram());

    // The first cycle runs about seven seconds after start-up.
    QByteArray printed;
    program.waitFor([&] { return (printed = testsupport::readFile(bill)).contains("Fechamento"); },
                    40);
    program.stopProgram();
    // 16 characters: 18 - 8 = 10 blanks before the name.
    EXPECT_TRUE(printed.contains("\r\n           Seja Bem Vindo\r\n          " +
                                 windows1252::encode(name) + "\r\n"))
        << printed.constData() << "\nprogram's output:\n"
        << program.program().readAllStandardError().constData();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
