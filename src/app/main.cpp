// corvella-viewer: the viewer's entry. The headless options run before any toolkit object exists, so they need
// no display.

#include "app/CommandLine.h"

int main(int argc, char** argv) {
    return RunCommandLine(argc, argv);
}
