#include "platform/widgets/ModalSeam.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QStringList>

#include <cstdio>

namespace modal {

namespace {

bool platformHasScreen() {
    const QString platform = QGuiApplication::platformName();
    return qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// "Description|mask|..." to Qt's "Description (mask);;...". Windows matches masks in any
// letter case, so each mask is offered in lower case too.
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString mask = parts.at(i + 1);
        QString masks = mask;
        if (mask.toLower() != mask)
            masks += u' ' + mask.toLower();
        filters.append(parts.at(i) + QStringLiteral(" (") + masks + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

class QtBackend : public Backend {
public:
    int exec(QDialog& dialog) override {
        if (!platformHasScreen()) {
            std::fprintf(stderr, "modal window %s closed: no screen\n",
                         dialog.objectName().toUtf8().constData());
            return QDialog::Rejected;
        }
        return dialog.exec();
    }
    bool hasScreen() const override { return platformHasScreen(); }
    QString saveFileName(QWidget* parent, const QString& filter) override {
        if (!platformHasScreen())
            return {};
        return QFileDialog::getSaveFileName(parent, QString(), QString(), qtFilter(filter));
    }
};

Backend*& current() {
    static QtBackend qtBackend;
    static Backend* backend = &qtBackend;
    return backend;
}

} // namespace

int exec(QDialog& dialog) {
    return current()->exec(dialog);
}

bool hasScreen() {
    return current()->hasScreen();
}

QString saveFileName(QWidget* parent, const QString& filter) {
    return current()->saveFileName(parent, filter);
}

Scripted::Scripted() : m_previous(current()) {
    current() = this;
}

Scripted::~Scripted() {
    current() = m_previous;
}

int Scripted::exec(QDialog& dialog) {
    ++m_execCount;
    return onExec ? onExec(dialog) : QDialog::Rejected;
}

QString Scripted::saveFileName(QWidget*, const QString& filter) {
    m_saveFilters.push_back(filter);
    return onSaveFileName ? onSaveFileName(filter) : QString();
}

} // namespace modal
