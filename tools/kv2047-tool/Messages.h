#pragma once
// Every message of kv2047-tool on standard error names the program and the
// command that says it ("kv2047-tool record: ..."), so a line in a script's or
// a cron job's log tells where it came from. main() names the command first.
#include <string>

// The command that runs ("record"); before one is known, only the program is named.
void setMessageCommand(const char* command);
// "kv2047-tool record", or "kv2047-tool" before a command is known.
const std::string& messageSource();
// Prints "kv2047-tool COMMAND: " and the printf-formatted text as one line on
// standard error (a newline is added).
void toolMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
