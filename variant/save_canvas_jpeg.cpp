#include "variant/compact_viewer.h"

void SaveCanvasJpeg() {}
