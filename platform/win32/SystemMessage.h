#pragma once

#include <string>
#include <system_error>

// The system's own text for the error `code` (a Win32 error or an HRESULT), in the user's
// language, as UTF-8 without the final full stop and line break; the code's number alone
// when the system has no text for it.
std::string SystemMessage(unsigned long code);

// The category of Win32 error codes and HRESULTs whose messages are SystemMessage: the
// standard library's system category asks for the ANSI text in the system's code page,
// which a UTF-8 program shows garbled. Codes compare with std::errc values as the system
// category's do.
const std::error_category& WindowsErrorCategory();
