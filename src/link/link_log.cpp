#include "link/link_log.h"

#include <cstdarg>
#include <cstdio>

#include "base/log.h"

namespace smt {

void LinkLog(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    LogPrintf(GetLogStream(), true, "%s", line);
}

}  // namespace smt
