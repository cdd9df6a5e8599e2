#include "export/export.h"

void SaveByteRange() {}
