// The signals by which a desktop log-out, a kill or a closed terminal end a
// program (SIGTERM, SIGHUP, SIGINT), turned into a Qt signal on the GUI
// thread: nothing but one write() happens inside the handler itself.
#pragma once

#include <QObject>

class QSocketNotifier;

class EndSignals : public QObject
{
    Q_OBJECT

public:
    explicit EndSignals(QObject *parent = nullptr);
    // Gives the signals back their default action.
    ~EndSignals() override;

signals:
    void received(int signal_number);

private:
    QSocketNotifier *notifier = nullptr;
};
