// The program's own texts are GBK bytes (code page 936); a jianpu score may
// be GBK too. What turns such text into UTF-8, declared here for every
// platform and given by each.
#pragma once

#include <cstddef>

// A GBK text as UTF-8 into out (size bytes); false, and out untouched, when
// it cannot be converted or does not fit.
bool ProgramTextToUtf8(const char* text, char* out, size_t size);
