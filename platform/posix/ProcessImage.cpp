#include "platform/fs/ProcessImage.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

std::string RunInPlaceOfThisProcess(const std::string& program, char* const arguments[]) {
    ::execv(program.c_str(), arguments);
    return std::strerror(errno);
}
