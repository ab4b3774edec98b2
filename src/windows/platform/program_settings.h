// The program's settings in the registry: values under
// HKEY_CURRENT_USER\Software\QF, or under one of its subkeys (L"Practice");
// a null subkey is the key itself. The uninstaller removes the whole key.
#pragma once

#include <cstddef>
#include <cstdint>

// A DWORD value; false when there is none (or it is of another type).
bool ReadSettingNumber(const wchar_t* subkey, const wchar_t* name, uint32_t* value);
bool WriteSettingNumber(const wchar_t* subkey, const wchar_t* name, uint32_t value);

// A text value (REG_SZ) into text, at most count units with the terminator;
// false when there is none or it does not fit.
bool ReadSettingText(const wchar_t* subkey, const wchar_t* name, wchar_t* text, size_t count);
bool WriteSettingText(const wchar_t* subkey, const wchar_t* name, const wchar_t* text);
