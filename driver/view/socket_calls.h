#pragma once

#include <httplib.h>

#include <cstddef>
#include <string>

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
