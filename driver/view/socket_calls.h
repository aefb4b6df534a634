#pragma once

#include <httplib.h>

#include <cstddef>
#include <string>
#include <vector>

// The socket calls of the viewer's connections, which differ between POSIX
// systems and Windows: socket_calls_posix.cpp, socket_calls_win32.cpp.
namespace driver::sockets {

// Whether the socket can be read (or, `forWriting`, written) within
// `milliseconds`; false when the time ran out or the socket failed.
bool Ready(socket_t socket, bool forWriting, int milliseconds);
// What recv and send do, going on after an interrupting signal; a send
// to a closed connection fails and raises no signal. -1 on failure.
long Receive(socket_t socket, char* data, std::size_t size);
long Send(socket_t socket, const char* data, std::size_t size);
// What recv gives without waiting, as Receive does; -1 with an error that
// MeansNothingYet when nothing has come.
long ReceiveNow(socket_t socket, char* data, std::size_t size);
// What send takes without waiting (a short answer before the connection
// is closed); -1 when it takes nothing.
long SendNow(socket_t socket, const char* data, std::size_t size);
// Whether `error` says that nothing has come yet, or a signal came first:
// the connection goes on.
bool MeansNothingYet(int error);

// A socket waited on to read, and whether it can be read now (or has
// ended, or failed: then a read says which).
struct Watched {
    socket_t socket = INVALID_SOCKET;
    bool ready = false;
};
// Waits until one of `watched` is ready, or `milliseconds` pass (-1: no
// end), and marks which are (poll; WSAPoll on Windows). False when the
// wait itself failed; an interrupting signal marks none.
bool WaitToRead(std::vector<Watched>& watched, int milliseconds);

// What wakes a thread from WaitToRead: another thread rings, and the alarm
// is among the waited sockets. A pipe on POSIX systems; on Windows, whose
// WSAPoll waits on sockets alone, a loopback datagram socket that sends to
// itself.
class Alarm {
public:
    Alarm();
    ~Alarm();
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;
    // Whether it could be made; without it no thread can be woken.
    bool Made() const { return ends_[0] != INVALID_SOCKET; }
    // What the waiting thread waits on.
    socket_t Socket() const { return ends_[0]; }
    // Any thread, any number of times.
    void Ring();
    // Takes every ring so far, so that the next wait waits.
    void Silence();

private:
    socket_t ends_[2] = {INVALID_SOCKET, INVALID_SOCKET};  // read, write
};

// Lets the process hold `count` sockets at once (on POSIX systems, each is
// a descriptor under RLIMIT_NOFILE); as many as allowed where fewer are.
void AllowSockets(std::size_t count);

// The address of the socket's own end, or of its peer's.
void EndAddress(socket_t socket, bool peer, std::string& ip, int& port);

// Options for a socket about to be bound for listening: no other program
// may listen at the same address and port while it does (SO_REUSEADDR,
// whose TIME_WAIT leniency shares nothing, on POSIX systems;
// SO_EXCLUSIVEADDRUSE on Windows), and an IPv6 socket takes IPv6 alone.
void ListenAlone(socket_t socket);
// Listens with a queue of `backlog` connections.
void Listen(socket_t socket, int backlog);
// Ends both ways of the connection: a thread that waits on it returns.
void ShutDown(socket_t socket);
void Close(socket_t socket);

// The error of this thread's last failed socket call (errno, or
// WSAGetLastError), and what it says.
int LastError();
std::string ErrorText(int error);
// Whether `error` says that the system has no IPv6, so that no program
// can listen on ::1.
bool MeansNoIpv6(int error);
// Why ::1 cannot be bound at `port` by a socket alone (an error as
// LastError gives it: the address is in use, or there is no IPv6), or 0
// when it can.
int Ipv6LoopbackRefusal(int port);

}  // namespace driver::sockets
