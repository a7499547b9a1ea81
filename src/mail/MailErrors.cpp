#include "mail/MailErrors.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zorvik::mail {
namespace {

struct Entry {
  int number;
  std::string_view text;
};

// Sorted by number.
constexpr std::array kTable = {
    Entry{10004, "System level interrupt interrupted socket operation."},
    Entry{10009, "Generic error for invalid format, bad format."},
    Entry{10013, "Generic error for access violation."},
    Entry{10014, "Generic error for fault."},
    Entry{10022, "Generic error for invalid format, entry, etc."},
    Entry{10024, "Generic error for file error."},
    Entry{10025,
          "The IP address provided is not valid or the host specified by the IP does not exist."},
    Entry{10035,
          "The socket is marked as non-blocking and the operation would block.  You will be "
          "notified when the operation completes.  This is just a warning, your operation will "
          "complete successfully.  It is safe to ignore this error code."},
    Entry{10036,
          "This error is returned if any Windows Sockets function is called while a blocking "
          "function is in progress."},
    Entry{10037, "The asynchronous routine being canceled has already completed."},
    Entry{10038, "Invalid socket or not connected to remote."},
    Entry{10039, "A destination address is required."},
    Entry{10040,
          "The socket is of type ASocketDatagram, and the datagram is larger than the maximum "
          "supported by the Windows Sockets implementation."},
    Entry{10041, "The specified port is the wrong type for this socket."},
    Entry{10042, "The option is unknown or unsupported."},
    Entry{10043, "The specified port is not supported."},
    Entry{10044, "The specified socket type is not supported in this address family."},
    Entry{10045, "The referenced socket is not a type that supports connection-oriented service."},
    Entry{10047, "Addresses in the specified family cannot be used with this socket."},
    Entry{10048, "The specified address is already in use."},
    Entry{10049, "The specified address is not available."},
    Entry{10050, "The connected network is not available."},
    Entry{10051, "The connected network is not reachable."},
    Entry{10052, "The connected network connection has been reset."},
    Entry{10053,
          "The current connection has been aborted by the network or intermediate services."},
    Entry{10054, "The current socket connection has been reset."},
    Entry{10055, "No buffer space is available. The socket cannot be connected."},
    Entry{10056, "The socket is already connected."},
    Entry{10057, "The current socket has not been connected."},
    Entry{10058, "The connection has been shutdown."},
    Entry{10060, "The current connection has timed out."},
    Entry{10061, "The requested connection has been refused by the remote host."},
    Entry{10063, "Specified host name is too long."},
    Entry{10064, "Remote host is currently unavailable."},
    Entry{10065, "Remote host is currently unreachable."},
    Entry{10091, "Remote system is not ready."},
    Entry{10092, "Current socket version not supported by application."},
    Entry{10093, "Socket API is not initialized."},
    Entry{10101, "Socket has been disconnected."},
    Entry{11001, "Remote host could not be found."},
    Entry{11002, "Remote host could not be found, try again."},
    Entry{11004, "Remote host could not be found."},
    Entry{20001, "Internal control state error."},
    Entry{20002, "Unexpected server response."},
    Entry{20003, "Login required."},
    Entry{20004, "Login failed."},
    Entry{20005, "Already connected to server."},
    Entry{20006, "Busy executing asynchronous command."},
    Entry{20007, "Can't change blocking mode, busy or connected to server."},
    Entry{20008, "Operation timed out."},
    Entry{20009, "Cannot Ascend, already at top level of message."},
    Entry{20010, "Cannot Descend, message has no parts."},
    Entry{20011, "Invalid user name."},
    Entry{20012, "Invalid password."},
    Entry{20013, "Could not open file."},
    Entry{20014, "Could not close file."},
};

const Entry* Find(int number) {
  const auto it = std::lower_bound(kTable.begin(), kTable.end(), number,
                                   [](const Entry& e, int n) { return e.number < n; });
  return it != kTable.end() && it->number == number ? &*it : nullptr;
}

}  // namespace

std::string_view MailErrorText(int number) {
  const Entry* e = Find(number);
  return e != nullptr ? e->text : std::string_view();
}

bool IsKnownMailError(int number) { return Find(number) != nullptr; }

MailStatus MailStatus::Error(int number) {
  return MailStatus{number, std::string(MailErrorText(number))};
}

}  // namespace zorvik::mail
