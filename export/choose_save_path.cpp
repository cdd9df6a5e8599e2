#include "export/export.h"

bool ChooseSavePath(const char*, const char*, const char*, const char*, std::string&) { return false; }
