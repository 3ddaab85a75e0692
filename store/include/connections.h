#pragma once
// Opening and closing the shared connections, and the link refresh of start-up.

#include <functional>
#include <string>

#include "program_state.h"

namespace store {

// Opens pConn on the bank and then pConnUser on the user database. Errors reach the caller.
void OpenConnections(ProgramState& state);

// Closes and releases pConn, then pConnUser. Stops at the first error: 3704 (already
// closed) is ignored silently, any other goes to showMessage as number + ":" + description.
void CloseConnections(ProgramState& state, const std::function<void(const std::string&)>& showMessage);

// Re-points the four user-table links at the user database of the application folder and
// records which question tables exist. progress receives 10..80, setLabel the status text.
void RefreshTableLinks(ProgramState& state, const std::function<void(int)>& progress,
                       const std::function<void(const std::string&)>& setLabel);

}  // namespace store
