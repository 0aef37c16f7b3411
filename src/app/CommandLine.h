#pragma once

// The headless command line: --help, --version, --outline.

#include <iosfwd>

// Runs the options and answers the exit code.
int RunCommandLine(int argc, char** argv);
