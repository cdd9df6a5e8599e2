#include "export/export.h"

void SaveSelectionBits() {}
