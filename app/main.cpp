// vexelor: the full viewer.
#include "app/full_viewer.h"
#include "platform/backend.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    InstallPlatformBackend();
    const int code = RunViewer(fullViewer, argc, argv);
    TkEndProcess(code);
}
