#pragma once
// Opening and closing the shared connections, and the link refresh of start-up.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "program_state.h"

namespace bank {

// The file in the application folder that moves the bank to a PostgreSQL server: one libpq
// connection string (lines beginning with '#' are notes). Without it, the bank file of the folder.
inline constexpr const char* kServerConfFile = "zorbex_server.conf";

// What "Compress" says of a bank on a server, and does nothing more.
inline constexpr const char* kServerKeepsItsFiles =
    "The bank is on a server, which keeps its own files: there is nothing to compress.";

// The connection string of the folder's server bank, or nothing when the folder has no
// zorbex_server.conf. A password in it is refused (DbError): libpq finds the password in its own
// password file or environment, never in the program's folder.
std::optional<std::string> ServerConnectionString(const std::filesystem::path& folder);

// Which bank the connections are open on, for the log: the server's database and host.
std::string BankDescription(ProgramState& state);

// Opens pConn on the bank and then pConnUser on the user database (on a server bank, the bank's
// tables and the user tables of the same database). Errors reach the caller.
void OpenConnections(ProgramState& state);

// Closes and releases pConn, then pConnUser. Stops at the first error: 3704 (already
// closed) is ignored silently, any other goes to showMessage as number + ":" + description.
void CloseConnections(ProgramState& state, const std::function<void(const std::string&)>& showMessage);

// Re-points the four user-table links at the user database of the application folder and
// records which question tables exist. progress receives 10..80, setLabel the status text.
void RefreshTableLinks(ProgramState& state, const std::function<void(int)>& progress,
                       const std::function<void(const std::string&)>& setLabel);

}  // namespace bank
