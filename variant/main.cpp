// vexelor-jpeg: the compact viewer that saves the canvas as JPEG.
#include "platform/backend.h"
#include "variant/compact_viewer.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    InstallPlatformBackend();
    const int code = RunViewer(compactViewer, argc, argv);
    TkEndProcess(code);
}
