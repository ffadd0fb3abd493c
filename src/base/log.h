// The diagnostic log: 8-bit (GBK) lines in "Logfile YYYY-MM-DD.txt" in the current
// directory at the first use. Lines from every thread are written whole, flushed
// at once and never interleave; a folder that cannot be written makes logging a
// no-op.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace smt {

// One log file, opened for appending so a restart on the same day keeps the
// earlier lines. When it cannot be opened every line is discarded.
class LogStream {
public:
    explicit LogStream(const std::string& path);
    ~LogStream();
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;

    // Writes `text` (UTF-8) as GBK in one piece; it reaches the file at once.
    void Write(std::string_view text);
    void Close();
    // The file written to ("" when it could not be opened or was closed).
    std::string Path() const;

private:
    mutable std::mutex m_mutex;
    std::string m_path;
    int m_fd = -1;
};

// The process-wide stream, built at its first use (thread-safe) on
// "<current directory>/Logfile <date>.txt"; it keeps that file for the life of
// the process, across midnight.
LogStream* GetLogStream();

// printf-style line, formatted in the C locale into a buffer that fits; `newline`
// appends "\n". The format and arguments are UTF-8; the file receives GBK. The text
// is echoed to standard output when that is a terminal.
void LogPrintf(LogStream* stream, bool newline, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// "%04d-%02d-%02d" of the local date.
std::string FormatLogDate();

// Closes the process-wide file; later lines are discarded.
void DestroyLogStream();

// The file the stream writes to ("" when it could not be opened).
std::string LogFilePath(LogStream* stream);

} // namespace smt
