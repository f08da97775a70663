#pragma once

#include "OwnedHandle.h"
#include "Win32Api.h"
#include "platform/fs/FolderSource.h"

#include <string>
#include <string_view>

// Opening files and folders by handle for the folder source, and what a handle tells about
// where it leads. Paths here are in extended-length form ("\\?\C:\..."), so that no depth
// meets MAX_PATH.

// Opens `path` for `access` with the folder-opening flags (backup semantics, every kind of
// sharing) and `flags`. On failure the handle is not open and `failure` tells why.
FileHandle OpenHandle(const std::wstring& path, DWORD access, DWORD flags, OpenFailure& failure);

// Who the file behind `info` is: its volume's serial number and its file index there.
NodeIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info);

// The path that `handle` finally leads to, through every link, in extended-length form:
// with the volume's drive letter where it has one, else with its volume name
// ("\\?\Volume{...}\..."). Empty when the system cannot say.
std::wstring FinalPathOf(HANDLE handle);

// The path of `handle` within its volume ("\Data\x"), which the system tells at any length;
// empty when it cannot say.
std::wstring PathWithinVolume(HANDLE handle);

// The top folder of the volume of the extended-length path `path`, with its trailing
// backslash ("\\?\C:\", "\\?\UNC\server\share\").
std::wstring VolumeTopOfPath(std::wstring_view path);

// The folder that holds the extended-length path `path`: its path without the last name.
// The top folder of a volume ("\\?\C:\", "\\?\UNC\server\share\") holds itself.
std::wstring ParentFolderPath(std::wstring_view path);

// `path` as the user writes it: the final path without "\\?\" ("C:\Data", "\\server\x");
// a volume without a drive letter keeps its extended-length name. UTF-8.
std::string PlainPathText(std::wstring_view path);

// The last-write time `ticks` (100 ns since 1601-01-01 UTC) in seconds since 1970-01-01
// 00:00:00 UTC, rounded down.
std::int64_t UnixSecondsOfTicks(std::int64_t ticks);
