// Answers the real modal dialogs that the program opens (message boxes and
// file dialogs), in the order a test expects them. A dialog that was not
// expected is rejected and recorded, so the test fails instead of hanging.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class DialogAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen {
        QString kind; // "message" or "file"
        QString title;
        QString text;          // message text; for a file dialog its name filters, joined by ";;"
        QString informative;   // a message box's informative text; the name a file dialog proposed
        QString answeredWith;  // button text or the file name typed
        QString defaultButton; // what Return would have pressed in a message box
        bool overShownWindow = false; // its parent window was on screen
    };

    explicit DialogAnswerer(QObject *parent = nullptr);
    ~DialogAnswerer() override;

    // Presses this button of the next message box.
    DialogAnswerer &button(QMessageBox::StandardButton which);
    // Presses the button of the next message box that shows this text.
    DialogAnswerer &press(const QString &label);
    // Gives the next message box no answer, as a user does with Escape or
    // with the close button of its title bar.
    DialogAnswerer &escape();
    DialogAnswerer &closeWindow();
    // Types this absolute path into the next file dialog and accepts it;
    // an empty path cancels the dialog.
    DialogAnswerer &file(const QString &path);
    // Gives the next number dialog this value and accepts it.
    DialogAnswerer &number(int value);

    const QList<Seen> &seen() const { return m_seen; }
    int pending() const { return int(m_steps.size()); }
    int unexpected() const { return m_unexpected; }
    // Waits until every expected dialog has been answered.
    bool waitDone(int timeoutMs = 5000);

private:
    enum class Gesture { Button, Escape, Close, Number };
    struct Step {
        bool isFile;
        Gesture gesture = Gesture::Button;
        QMessageBox::StandardButton button;
        QString path; // for a file dialog; for a message box, a button's text; a number
    };
    void poll();
    void answer(QWidget *dialog);

    QTimer m_timer;
    QList<Step> m_steps;
    QList<Seen> m_seen;
    QList<QPointer<QWidget>> m_handled;
    int m_unexpected = 0;
};
