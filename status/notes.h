// A short note beside the status text, gone by itself after a few seconds.
#pragma once

#include <QLabel>
#include <QTimer>

class NoteLabel : public QLabel
{
public:
    NoteLabel();
    void say(const QString &text);

private:
    QTimer lasts;
};
