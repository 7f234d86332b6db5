// cuvora-encode-name NAME: prints the establishment's name in the text codec's encoded
// form, the text that the second line of "QibClientServ.ini" holds and the program decodes at
// start.
// "--help" or "-h" prints the use; "--" before a name lets it start with "-".
#include "app/text/TextCodec.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

// The codec brings back only the character codes 1 to 254.
bool encodable(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() < 1 || c.unicode() > 254)
            return false;
    }
    return true;
}

constexpr const char* kUse = "usage: cuvora-encode-name [--] \"Establishment name\"\n"
                             "Prints the name encoded, as the second line of QibClientServ.ini\n"
                             "(after the server's address) holds it.\n";

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 1 &&
        (arguments.at(0) == QStringLiteral("--help") || arguments.at(0) == QStringLiteral("-h"))) {
        std::printf("%s", kUse);
        return 0;
    }
    if (!arguments.isEmpty() && arguments.at(0) == QStringLiteral("--"))
        arguments.removeFirst();
    if (arguments.size() != 1 || arguments.at(0).isEmpty()) {
        std::fprintf(stderr, "%s", kUse);
        return 2;
    }
    const QString& name = arguments.at(0);
    if (!encodable(name)) {
        std::fprintf(stderr, "cuvora-encode-name: the name may hold only characters of ISO-8859-1 "
                             "(Latin-1), codes 1 to 254\n");
        return 1;
    }
    const QString encoded = TextCodec(QStringLiteral("C"), name);
    std::printf("%s\n", encoded.toLatin1().constData());
    return 0;
}
