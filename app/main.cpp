// vexelor: the full viewer.
#include "app/full_viewer.h"
#include "platform/fltk/fltk_backend.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    InstallFltkBackend();
    const int code = RunViewer(fullViewer, argc, argv);
    TkEndProcess(code);
}
