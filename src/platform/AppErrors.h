#pragma once

// The application's exception handler: where errors go that no caller wants passed on. The window shows them
// in its error dialog; the command line prints them.

#include <exception>
#include <functional>

using TExceptionHandler = std::function<void(const std::exception&)>;

// Installs a handler and answers the previous one. Without a handler errors are written to standard error.
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);
void HandleApplicationException(const std::exception& error);
