#pragma once
// Error numbers of the mail component and their fixed texts. Every failure the
// component reports, returned from a call or raised through AsyncError,
// carries one of these numbers and a description: the text that belongs to
// the number, or for a few failures a more specific text (a file too large,
// a server that offers no encryption, a certificate that cannot be verified).

#include <string>
#include <string_view>

namespace zorvik::mail {

enum MailErrorNumber : int {
  kErrNone = 0,
  kErrInterrupted = 10004,
  kErrBadFormat = 10009,
  kErrAccess = 10013,
  kErrFault = 10014,
  kErrInvalidEntry = 10022,
  kErrFile = 10024,
  kErrBadAddress = 10025,
  kErrWouldBlock = 10035,
  kErrInProgress = 10036,
  kErrAlreadyDone = 10037,
  kErrNotSocket = 10038,
  kErrDestinationRequired = 10039,
  kErrMessageSize = 10040,
  kErrProtocolType = 10041,
  kErrOption = 10042,
  kErrPortNotSupported = 10043,
  kErrSocketType = 10044,
  kErrNotConnectionOriented = 10045,
  kErrAddressFamily = 10047,
  kErrAddressInUse = 10048,
  kErrAddressNotAvailable = 10049,
  kErrNetworkDown = 10050,
  kErrNetworkUnreachable = 10051,
  kErrNetworkReset = 10052,
  kErrConnectionAborted = 10053,
  kErrConnectionReset = 10054,
  kErrNoBuffers = 10055,
  kErrAlreadyConnected = 10056,
  kErrNotConnected = 10057,
  kErrShutdown = 10058,
  kErrTimedOut = 10060,
  kErrConnectionRefused = 10061,
  kErrNameTooLong = 10063,
  kErrHostDown = 10064,
  kErrHostUnreachable = 10065,
  kErrSystemNotReady = 10091,
  kErrVersionNotSupported = 10092,
  kErrNotInitialised = 10093,
  kErrDisconnected = 10101,
  kErrHostNotFound = 11001,
  kErrHostNotFoundTryAgain = 11002,
  kErrNoData = 11004,
  kErrInternalState = 20001,
  kErrUnexpectedResponse = 20002,
  kErrLoginRequired = 20003,
  kErrLoginFailed = 20004,
  kErrAlreadyConnectedToServer = 20005,
  kErrBusy = 20006,
  kErrCannotChangeBlocking = 20007,
  kErrOperationTimedOut = 20008,
  kErrCannotAscend = 20009,
  kErrCannotDescend = 20010,
  kErrInvalidUserName = 20011,
  kErrInvalidPassword = 20012,
  kErrCannotOpenFile = 20013,
  kErrCannotCloseFile = 20014,
};

// The fixed text of an error number; empty for a number outside the table.
std::string_view MailErrorText(int number);

// True when `number` is one of the table's numbers.
bool IsKnownMailError(int number);

// The outcome of an operation: number 0 is success.
struct MailStatus {
  int number = 0;
  std::string description;

  bool ok() const { return number == 0; }
  static MailStatus Ok() { return {}; }
  // A failure with the table's text for `number` as its description.
  static MailStatus Error(int number);
};

}  // namespace zorvik::mail
