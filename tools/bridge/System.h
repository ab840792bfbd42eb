#pragma once
// The few calls that differ between the platforms, and the bridge's output
// on stderr: log lines, and a status line kept in place on a terminal.

#include <string>

namespace tolsa::bridge {

// This machine's host name, or "localhost" when it has none.
std::string HostName();

// One line of log; clears the status line first when one is shown.
void LogLine(const std::string& line);
// Replaces the status line; does nothing when stderr is not a terminal.
void StatusLine(const std::string& line);
// Ends the status line, if one is shown, so the shell prompt starts clean.
void EndStatusLine();

}  // namespace tolsa::bridge
