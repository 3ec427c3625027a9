// The command line of the tool: its subcommands, options and help texts.
#pragma once

namespace vorlane::cli {

// Parses the command line and runs the chosen subcommand; returns the exit code.
int RunCommandLine(int argc, char** argv);

}  // namespace vorlane::cli
