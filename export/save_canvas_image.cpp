#include "export/export.h"

void SaveCanvasImage() {}
