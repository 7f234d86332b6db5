#include "platform/widgets/MessageSeam.h"

#include "platform/widgets/ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <utility>

namespace messages {

namespace {

bool hasScreen() {
    const QString platform = QGuiApplication::platformName();
    return qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::function<void(const Shown&)>& transcript();

class QtBackend : public Backend {
public:
    void show(const Shown& message) override {
        if (!hasScreen()) {
            // The transcript keeps it already; a second copy under the caption would put one
            // message in the journal twice, under two names.
            if (transcript())
                return;
            const QByteArray line =
                (message.caption + QStringLiteral(": ") + message.text).toUtf8();
            std::fprintf(stderr, "%s\n", line.constData());
            return;
        }
        QMessageBox box(toQt(message.icon), message.caption, message.text, QMessageBox::Ok);
        box.exec();
    }
};

Backend*& current() {
    static QtBackend qtBackend;
    static Backend* backend = &qtBackend;
    return backend;
}

std::function<void(const Shown&)>& transcript() {
    static std::function<void(const Shown&)> function;
    return function;
}

void show(const Shown& message) {
    if (transcript())
        transcript()(message);
    current()->show(message);
}

} // namespace

Transcript setTranscript(Transcript function) {
    return std::exchange(transcript(), std::move(function));
}

void showMessage(const QString& text) {
    show({Kind::Message, applicationTitle(), text, Icon::None});
}

void messageBox(const QString& text, const QString& caption, Icon icon) {
    show({Kind::Box, caption, text, icon});
}

void showStandardError(const QString& message) {
    show({Kind::StandardError, applicationTitle(), message, Icon::Error});
}

Recorder::Recorder() : m_previous(current()) {
    current() = this;
}

Recorder::~Recorder() {
    current() = m_previous;
}

void Recorder::show(const Shown& message) {
    m_shown.push_back(message);
}

std::vector<Shown> Recorder::standardErrors() const {
    std::vector<Shown> errors;
    for (const Shown& message : m_shown) {
        if (message.kind == Kind::StandardError)
            errors.push_back(message);
    }
    return errors;
}

} // namespace messages
