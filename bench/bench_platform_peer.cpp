// The other process of the cross-process queue benchmarks, in the device
// root named by KIVO_DEVICE_ROOT. "queue": reads each message of the queue
// "BenchPing" and writes it back to "BenchPong" (whose read end the caller
// holds already). "socket": reads each packet of the socket on descriptor 3
// and sends it back. Prints "ready" once it answers, and runs until its
// input ends or it is ended.
#include "platform/msgqueue.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr ce::DWORD kMessageBytes = 42;

int echoQueues()
{
    ce::MSGQUEUEOPTIONS read { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, kMessageBytes, 1 };
    ce::MSGQUEUEOPTIONS write = read;
    write.bReadAccess = 0;
    ce::HANDLE ping = ce::createMsgQueue("BenchPing", &read);
    ce::HANDLE pong = ce::createMsgQueue("BenchPong", &write);
    if (!ping || !pong)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    uint8_t message[kMessageBytes];
    ce::DWORD n = 0, flags = 0;
    while (ce::readMsgQueue(ping, message, sizeof message, &n, ce::INFINITE, &flags))
        if (!ce::writeMsgQueue(pong, message, n, ce::INFINITE, 0))
            return 1;
    return 0;
}

int echoSocket()
{
    std::printf("ready\n");
    std::fflush(stdout);
    uint8_t packet[kMessageBytes];
    for (;;) {
        const ssize_t n = ::read(3, packet, sizeof packet);
        if (n <= 0)
            return 0;
        if (::write(3, packet, size_t(n)) != n)
            return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "queue") == 0)
        return echoQueues();
    if (argc == 2 && std::strcmp(argv[1], "socket") == 0)
        return echoSocket();
    return 2;
}
