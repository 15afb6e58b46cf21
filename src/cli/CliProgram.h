#pragma once

#include <iosfwd>
#include <string_view>

#include "cli/CliArguments.h"

// orvalan-ndcp: the commands over the running client (StartClient), each returning its exit
// status (CliHelp.h). Listings and results go to out, messages to err, a progress line to the
// terminal (ProgressLine.h). An error the client or a request raises is reported on err and ends
// the command with the status ExitStatusOf gives it.

[[nodiscard]] int RunDiscover(const DiscoverArguments& arguments, std::ostream& out, std::ostream& err);

// accessPassword: the password's 8-bit characters (AccessPassword.h). The address rules are
// checked here too, before anything is sent.
[[nodiscard]] int RunSet(const SetArguments& arguments, std::string_view accessPassword, std::ostream& out,
                         std::ostream& err);

// The exit status of an error a request raised with that code.
[[nodiscard]] int ExitStatusOf(int code) noexcept;

// The whole program: arguments, password, application object, client, command.
[[nodiscard]] int RunCli(int argc, char** argv);
