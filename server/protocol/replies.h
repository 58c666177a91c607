#pragma once
// The server's fixed replies, code and text together, so a text is never paired with
// the wrong code. Clients and machine controls compare these texts: each is written
// here once and never changed. Replies that carry data (PWD, SIZE, PASV...) are built
// where they are sent.

#include <string_view>

namespace kesto::server {

// The server's name, in the greeting and in STAT.
inline constexpr std::string_view kServerName = "KESTO FTP Server v2.02";

struct Reply {
    int code;
    std::string_view text;
};

inline constexpr Reply kOpeningData{150, "Opening ASCII mode data connection for /bin/ls."};
inline constexpr Reply kCommandOkay{200, "Command okay."};
inline constexpr Reply kSuperfluous{202, "Command not implemented, superfluous at this site."};
inline constexpr Reply kServiceReady{220, "Service ready for new user."};
inline constexpr Reply kClosingControl{221, "Service closing control connection."};
inline constexpr Reply kNoTransferInProgress{225, "Data connection open; no transfer in progress."};
inline constexpr Reply kTransferComplete{226, "Transfer complete."};
inline constexpr Reply kLoggedIn{230, "User logged in, proceed."};
inline constexpr Reply kFileActionDone{250, "Requested file action okay, completed."};
inline constexpr Reply kNeedPassword{331, "User name okay, need password."};
inline constexpr Reply kPendingFurtherInformation{
    350, "Requested file action pending further information."};
inline constexpr Reply kServiceNotAvailable{421,
                                            "Service not available, closing control connection."};
inline constexpr Reply kCannotOpenData{425, "Can't open data connection."};
inline constexpr Reply kTransferAborted{426, "Connection closed; transfer aborted."};
inline constexpr Reply kFileActionNotTaken{450, "Requested file action not taken."};
inline constexpr Reply kLocalError{451, "Requested action aborted. Local error in processing."};
inline constexpr Reply kStorageNotTaken{452, "Requested action not taken."};
inline constexpr Reply kUnrecognized{500, "Syntax error, command unrecognized."};
inline constexpr Reply kBadParameters{501, "Syntax error in parameters or arguments."};
inline constexpr Reply kNotImplemented{502, "Command not implemented."};
inline constexpr Reply kBadSequence{503, "Bad sequence of commands."};
inline constexpr Reply kNotForParameter{504, "Command not implemented for that parameter."};
inline constexpr Reply kAccessDenied{521, "Access denied."};
// RFC 2428: the address family of a data connection must be that of the control connection.
inline constexpr Reply kUseFamily1{522, "Network protocol not supported, use (1)"};
inline constexpr Reply kUseFamily2{522, "Network protocol not supported, use (2)"};
inline constexpr Reply kNotLoggedIn{530, "Not logged in."};
inline constexpr Reply kUserAccessDenied{530, "User access denied."};
inline constexpr Reply kNotTaken{550, "Requested action not taken."};
inline constexpr Reply kNameNotTaken{553, "Requested action not taken."};

}  // namespace kesto::server
