// The diagnostic log: 8-bit (GBK) lines in "Logfile YYYY-MM-DD.txt" in the current
// directory at the first use. Lines from every thread are written whole, flushed
// at once and never interleave; a folder that cannot be written makes logging a
// no-op.
#pragma once

#include <cstdio>
#include <string>

namespace smt {

class LogStream;

// The process-wide stream, built at its first use (thread-safe).
LogStream* GetLogStream();

// printf-style line, formatted in the C locale into a buffer that fits; `newline`
// appends "\n". The format and arguments are UTF-8; the file receives GBK.
void LogPrintf(LogStream* stream, bool newline, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// "%04d-%02d-%02d" of the local date.
std::string FormatLogDate();

// Closes the file; later lines are discarded.
void DestroyLogStream();

// The file the stream writes to ("" when it could not be opened).
std::string LogFilePath(LogStream* stream);

} // namespace smt
