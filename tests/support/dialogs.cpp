#include "dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

DialogAnswerer::DialogAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start();
}

DialogAnswerer::~DialogAnswerer() = default;

DialogAnswerer &DialogAnswerer::button(QMessageBox::StandardButton which)
{
    m_steps.append({false, Gesture::Button, which, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::press(const QString &label)
{
    m_steps.append({false, Gesture::Button, QMessageBox::NoButton, label});
    return *this;
}

DialogAnswerer &DialogAnswerer::escape()
{
    m_steps.append({false, Gesture::Escape, QMessageBox::NoButton, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::closeWindow()
{
    m_steps.append({false, Gesture::Close, QMessageBox::NoButton, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::file(const QString &path)
{
    m_steps.append({true, Gesture::Button, QMessageBox::NoButton, path});
    return *this;
}

DialogAnswerer &DialogAnswerer::number(int value)
{
    m_steps.append({false, Gesture::Number, QMessageBox::NoButton, QString::number(value)});
    return *this;
}

bool DialogAnswerer::waitDone(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_steps.isEmpty(); }, timeoutMs);
}

void DialogAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    for (const QPointer<QWidget> &done : std::as_const(m_handled))
        if (done == modal)
            return;
    m_handled.append(modal);
    // Answer outside the polling slot: accepting a dialog may open another
    // modal box inside that call.
    QPointer<QWidget> target(modal);
    QTimer::singleShot(0, this, [this, target] {
        if (target)
            answer(target);
        // Answered and closed: should it be shown again (a question asked
        // once more), it is a new dialog.
        if (target && !target->isVisible())
            m_handled.removeAll(target);
    });
}

void DialogAnswerer::answer(QWidget *dialog)
{
    auto *box = qobject_cast<QMessageBox *>(dialog);
    auto *files = qobject_cast<QFileDialog *>(dialog);
    Seen seen;
    seen.kind = files ? QStringLiteral("file") : QStringLiteral("message");
    seen.title = dialog->windowTitle();
    seen.overShownWindow = dialog->parentWidget() && dialog->parentWidget()->window()->isVisible();
    if (box) {
        seen.text = box->text();
        seen.informative = box->informativeText();
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
    }
    if (files)
        seen.text = files->nameFilters().join(QStringLiteral(";;"));
    auto *input = qobject_cast<QInputDialog *>(dialog);
    if (input && !m_steps.isEmpty() && m_steps.first().gesture == Gesture::Number) {
        seen.text = input->labelText();
        seen.answeredWith = m_steps.takeFirst().path;
        m_seen.append(seen);
        input->setIntValue(seen.answeredWith.toInt());
        input->accept();
        return;
    }

    const bool fits = !m_steps.isEmpty() && m_steps.first().gesture != Gesture::Number &&
                      ((files && m_steps.first().isFile) || (box && !m_steps.first().isFile));
    if (!fits) {
        ++m_unexpected;
        // Said where it happens: the count the test compares tells nothing of the box.
        qWarning("unexpected %s dialog \"%s\": %s", qPrintable(seen.kind), qPrintable(seen.title),
                 qPrintable(seen.text + QLatin1Char(' ') + seen.informative));
        seen.answeredWith = QStringLiteral("<unexpected: rejected>");
        m_seen.append(seen);
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
        else
            dialog->close();
        return;
    }
    const Step step = m_steps.takeFirst();
    if (box && step.gesture == Gesture::Escape) {
        seen.answeredWith = QStringLiteral("<Escape>");
        m_seen.append(seen);
        // Where a user's key goes: the button that has the focus.
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
        return;
    }
    if (box && step.gesture == Gesture::Close) {
        seen.answeredWith = QStringLiteral("<close>");
        m_seen.append(seen);
        box->close();
        return;
    }
    if (box) {
        QAbstractButton *b = box->button(step.button);
        for (QAbstractButton *labelled : box->buttons())
            if (!step.path.isEmpty() && labelled->text() == step.path)
                b = labelled;
        seen.answeredWith = b ? b->text() : QStringLiteral("<missing button>");
        m_seen.append(seen);
        if (b)
            b->click();
        else
            box->reject();
        return;
    }
    auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    seen.informative = edit ? edit->text() : QString();
    seen.answeredWith = step.path;
    m_seen.append(seen);
    if (step.path.isEmpty()) {
        files->reject();
        return;
    }
    auto *buttons = files->findChild<QDialogButtonBox *>();
    if (!edit || !buttons) {
        files->reject();
        return;
    }
    edit->setText(step.path);
    for (QAbstractButton *b : buttons->buttons())
        if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) {
            b->click();
            return;
        }
    files->reject();
}
