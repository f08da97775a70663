#pragma once

#include <QString>
#include <string>

// The program's embedded resources (Qt's resource system). Resource types are folders at
// the resource root (":/RCDATA", ":/GIF", ":/JPG") and names are files in them without
// extension; both are looked up without regard to case.

// The raw-data resource ":/RCDATA/<name>" as a byte string of exactly the resource's size,
// its bytes unchanged (no character conversion; a zero byte is kept). Empty when there is
// no such resource or it cannot be read.
std::string LoadTextResource(const std::string& name);

// The resource path (":/GIF/AWARDS") of the embedded file of `type` and `name`, both
// compared without regard to case. Empty when there is none.
QString FindResourceFile(const QString& type, const QString& name);

// Every byte of the file at `path` (a resource path or a file on disk), unchanged; empty
// when it cannot be read.
std::string ReadAllBytes(const QString& path);
