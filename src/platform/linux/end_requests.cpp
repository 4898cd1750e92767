// The self-pipe: the handler writes the signal's number into a non-blocking
// pipe and returns, which is all a handler may safely do; the event loop reads
// it. A full pipe loses only repeats of a request that is already pending.

#include "platform/end_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwell {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

int pipeEnds[2] = {-1, -1};

extern "C" void OnEndSignal(int signalNumber) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

int CatchEndRequests() {
    if (pipeEnds[0] >= 0) return pipeEnds[0];
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    pipeEnds[0] = ends[0];
    pipeEnds[1] = ends[1];

    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep a worker's blocking read and the file writes from
    // failing with EINTR because of the request.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kEndSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            struct sigaction fallback {};
            fallback.sa_handler = SIG_DFL;
            sigemptyset(&fallback.sa_mask);
            for (const int undo : kEndSignals) ::sigaction(undo, &fallback, nullptr);
            ::close(ends[0]);
            ::close(ends[1]);
            pipeEnds[0] = pipeEnds[1] = -1;
            return -1;
        }
    }
    return pipeEnds[0];
}

int TakeEndRequests() {
    if (pipeEnds[0] < 0) return 0;
    int first = 0;
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = ::read(pipeEnds[0], bytes, sizeof bytes);
        if (got > 0) {
            if (first == 0) first = bytes[0];
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return first;
    }
}

}  // namespace tarnwell
