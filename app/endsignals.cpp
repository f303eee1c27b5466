#include "endsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipe_ends[2] = {-1, -1};
const int handled[] = {SIGTERM, SIGHUP, SIGINT};

void on_signal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(pipe_ends[1], &byte, 1);
    errno = saved;
}
} // namespace

EndSignals::EndSignals(QObject *parent) : QObject(parent)
{
    if (pipe_ends[0] < 0 && ::pipe2(pipe_ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(pipe_ends[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipe_ends[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action {
    };
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handled)
        ::sigaction(number, &action, nullptr);
}

EndSignals::~EndSignals()
{
    if (!notifier)
        return;
    for (int number : handled)
        std::signal(number, SIG_DFL);
}
