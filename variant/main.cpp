// vexelor-jpeg: the compact viewer that saves the canvas as JPEG.
#include "platform/fltk/fltk_backend.h"
#include "variant/compact_viewer.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    InstallFltkBackend();
    const int code = RunViewer(compactViewer, argc, argv);
    TkEndProcess(code);
}
