// cuvora-encode-name NAME: prints the establishment's name in the text codec's encoded
// form, the text that line 1 of "QibClientServ.ini" holds and the program decodes at start.
#include "app/TextCodec.h"

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

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 || arguments.at(1).isEmpty()) {
        std::fprintf(stderr, "usage: cuvora-encode-name \"Establishment name\"\n");
        return 2;
    }
    const QString& name = arguments.at(1);
    if (!encodable(name)) {
        std::fprintf(stderr, "cuvora-encode-name: the name may hold only characters of ISO-8859-1 "
                             "(Latin-1), codes 1 to 254\n");
        return 1;
    }
    const QString encoded = TextCodec(QStringLiteral("C"), name);
    std::printf("%s\n", encoded.toLatin1().constData());
    return 0;
}
