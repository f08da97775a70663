#pragma once

#include <string>

// The program's own resources, found by name without regard to case.

// The raw-data (RCDATA) resource `name` as a byte string of exactly the resource's size,
// its bytes unchanged (no character conversion; a zero byte is kept). Empty when there is
// no such resource or it cannot be loaded.
std::string LoadTextResource(const std::string& name);
