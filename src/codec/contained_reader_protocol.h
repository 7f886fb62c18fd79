// How the program talks to the reader service (velanox-nr-reader --serve, reader/service.h):
// started once per program, it forks a fresh child for every file it is sent.
//
// On the control socket (the service's descriptor 3, SOCK_SEQPACKET), one message per file:
// the child's arguments, each ended by a NUL byte, and four descriptors: the file (open for
// reading), the reply socket, the stderr pipe and the report socket. The child gets them as
// descriptors 3, 4 and 2 and nothing else the service holds. On the report socket the service
// says ReportStarted when the child runs and ReportEnded with its wait status when it has
// ended; when the program closes its end of the report socket (it has the reply, or it gave up
// on the read), the service kills the child if it still runs. The service ends, and its
// children with it, when the program closes the control socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velanox::codec {

/// The service's descriptor for the control socket.
inline constexpr int kServiceControlDescriptor = 3;

/// The largest request (arguments and their NUL bytes).
inline constexpr std::size_t kMaxRequestBytes = 65536;

/// The descriptors of a request, in this order.
enum RequestDescriptor {
    RequestFile,
    RequestReply,
    RequestErrors,
    RequestReport,
    kRequestDescriptors
};

enum ReportKind : int32_t { ReportStarted = 1, ReportEnded = 2 };

/// One message on the report socket.
struct Report {
    int32_t kind = 0;
    int32_t value = 0; ///< the child's process id (started) or wait status (ended)
};

} // namespace velanox::codec
