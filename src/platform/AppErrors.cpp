#include "platform/AppErrors.h"

#include <cstdio>
#include <utility>

namespace {

TExceptionHandler& CurrentHandler() {
    static TExceptionHandler handler;
    return handler;
}

} // namespace

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler) {
    return std::exchange(CurrentHandler(), std::move(handler));
}

void HandleApplicationException(const std::exception& error) {
    if (const TExceptionHandler& handler = CurrentHandler())
        handler(error);
    else
        std::fprintf(stderr, "%s\n", error.what());
}
