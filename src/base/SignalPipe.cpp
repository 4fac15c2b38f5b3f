#include "base/SignalPipe.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void onSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void install(int number, void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a prompt waiting for input returns, so Ctrl+C is never swallowed.
    action.sa_flags = 0;
    ::sigaction(number, &action, nullptr);
}

} // namespace

TSignalPipe::TSignalPipe(QObject* parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TSignalPipe::readPending);
    install(SIGINT, onSignal);
    install(SIGTERM, onSignal);
    install(SIGHUP, onSignal);
}

TSignalPipe::~TSignalPipe()
{
    if (!m_notifier)
        return;
    install(SIGINT, SIG_DFL);
    install(SIGTERM, SIG_DFL);
    install(SIGHUP, SIG_DFL);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool TSignalPipe::HasPending() const
{
    if (!m_notifier)
        return false;
    pollfd entry{g_pipe[0], POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

void TSignalPipe::readPending()
{
    char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        emit Interrupted(int(byte));
}
