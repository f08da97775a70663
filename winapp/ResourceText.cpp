#include "ResourceText.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Api.h"

std::string LoadTextResource(const std::string& name) {
    // FindResourceW compares string names without regard to case.
    HRSRC found = FindResourceW(nullptr, ToWide(name).c_str(), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (found == nullptr) {
        return std::string();
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    const DWORD size = SizeofResource(nullptr, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return std::string();
    }
    return std::string(static_cast<const char*>(bytes), size);
}
