// Every Winsock error code the system knows, one a line: code, name, text.
// Include with WINSOCK_ERROR(code, name, text) defined; no include guard on purpose.
// The texts are the ones the socket component reports, exactly as written here.

WINSOCK_ERROR(10004, WSAEINTR, "Interrupted system call")  // a blocking call was interrupted
WINSOCK_ERROR(10009, WSAEBADF, "Bad file number")  // the handle is not valid
WINSOCK_ERROR(10013, WSAEACCES, "Permission denied")  // e.g. a privileged port
WINSOCK_ERROR(10014, WSAEFAULT, "Bad address")  // a pointer or length argument is wrong
WINSOCK_ERROR(10022, WSAEINVAL, "Invalid argument")  // e.g. listen before bind
WINSOCK_ERROR(10024, WSAEMFILE, "Too many open files")  // no more descriptors
WINSOCK_ERROR(10035, WSAEWOULDBLOCK, "Operation would block")  // non-blocking call must wait
WINSOCK_ERROR(10036, WSAEINPROGRESS, "Operation now in progress")  // a blocking call is running
WINSOCK_ERROR(10037, WSAEALREADY, "Operation already in progress")  // a connect is pending
WINSOCK_ERROR(10038, WSAENOTSOCK, "Socket operation on non-socket")  // the handle is no socket
WINSOCK_ERROR(10039, WSAEDESTADDRREQ, "Destination address required")  // no peer address
WINSOCK_ERROR(10040, WSAEMSGSIZE, "Message too long")  // datagram larger than the buffer
WINSOCK_ERROR(10041, WSAEPROTOTYPE, "Wrong protocol type for socket")  // protocol mismatch
WINSOCK_ERROR(10042, WSAENOPROTOOPT, "Bad protocol option")  // unknown socket option
WINSOCK_ERROR(10043, WSAEPROTONOSUPPORT, "Protocol not supported")  // protocol not available
WINSOCK_ERROR(10044, WSAESOCKTNOSUPPORT, "Socket type not supported")  // type not available
WINSOCK_ERROR(10045, WSAEOPNOTSUPP, "Operation not supported on socket")  // e.g. listen on UDP
WINSOCK_ERROR(10046, WSAEPFNOSUPPORT, "Protocol family not supported")  // family unknown
WINSOCK_ERROR(10047, WSAEAFNOSUPPORT, "Address family not supported by protocol family")  // bad family
WINSOCK_ERROR(10048, WSAEADDRINUSE, "Address already in use")  // bind to a taken port
WINSOCK_ERROR(10049, WSAEADDRNOTAVAIL, "Can't assign requested address")  // not a local address
WINSOCK_ERROR(10050, WSAENETDOWN, "Network is down")  // the network subsystem failed
WINSOCK_ERROR(10051, WSAENETUNREACH, "Network is unreachable")  // no route to the network
WINSOCK_ERROR(10052, WSAENETRESET, "Network dropped connection or reset")  // keep-alive failed
WINSOCK_ERROR(10053, WSAECONNABORTED, "Software caused connection abort")  // local abort
WINSOCK_ERROR(10054, WSAECONNRESET, "Connection reset by peer")  // the peer reset
WINSOCK_ERROR(10055, WSAENOBUFS, "No buffer space available")  // out of buffers
WINSOCK_ERROR(10056, WSAEISCONN, "Socket is already connected")  // connect on a connected socket
WINSOCK_ERROR(10057, WSAENOTCONN, "Socket is not connected")  // I/O on an unconnected socket
WINSOCK_ERROR(10058, WSAESHUTDOWN, "Can't send after socket shutdown")  // send after shutdown
WINSOCK_ERROR(10059, WSAETOOMANYREFS, "Too many references, can't splice")  // kernel references
WINSOCK_ERROR(10060, WSAETIMEDOUT, "Connection timed out")  // the peer did not answer
WINSOCK_ERROR(10061, WSAECONNREFUSED, "Connection refused")  // nothing listens there
WINSOCK_ERROR(10062, WSAELOOP, "Too many levels of symbolic links")  // path resolution loop
WINSOCK_ERROR(10063, WSAENAMETOOLONG, "File name too long")  // name over the limit
WINSOCK_ERROR(10064, WSAEHOSTDOWN, "Host is down")  // the peer host is down
WINSOCK_ERROR(10065, WSAEHOSTUNREACH, "No route to Host")  // no route to the host
WINSOCK_ERROR(10066, WSAENOTEMPTY, "Directory not empty")  // directory removal
WINSOCK_ERROR(10067, WSAEPROCLIM, "Too many processes")  // Winsock process limit
WINSOCK_ERROR(10068, WSAEUSERS, "Too many users")  // quota of users
WINSOCK_ERROR(10069, WSAEDQUOT, "Disc quota exceeded")  // disk quota
WINSOCK_ERROR(10070, WSAESTALE, "Stale NFS file handle")  // handle no longer valid
WINSOCK_ERROR(10071, WSAEREMOTE, "Too many levels of remote in path")  // remote path depth
WINSOCK_ERROR(10091, WSASYSNOTREADY, "Network subsystem is unavailable")  // not ready
WINSOCK_ERROR(10092, WSAVERNOTSUPPORTED, "Incompatible version of WINSOCK.DLL")  // version
WINSOCK_ERROR(10093, WSANOTINITIALISED, "Successful WSAStartup not yet performed")  // no start-up
WINSOCK_ERROR(11001, WSAHOST_NOT_FOUND, "Host not found")  // authoritative: no such host
WINSOCK_ERROR(11002, WSATRY_AGAIN, "Non-Authoritative Host not found")  // try again later
WINSOCK_ERROR(11003, WSANO_RECOVERY, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP")  // DNS failure
WINSOCK_ERROR(11004, WSANO_DATA, "Valid name, no data record of requested type")  // no A record
