#include "testmain.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace feuillon_test {

void watchForForgottenDialogs()
{
    static QPointer<QWidget> seen;
    static QElapsedTimer openFor;
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != seen) {
            seen = modal;
            openFor.start();
            return;
        }
        if (!modal || openFor.elapsed() < 15000)
            return;
        qWarning("Unanswered dialog \"%s\" (%s): rejected so the test does not hang",
                 qPrintable(modal->windowTitle()), modal->metaObject()->className());
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        seen = nullptr;
    });
    timer->start(500);
}

} // namespace feuillon_test
