#include "base/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/numtext.h"
#include "platform/files.h"
#include "platform/text.h"

namespace smt {
namespace {

std::atomic<LogStream*> g_LogStream{nullptr};

std::mutex& stdoutMutex() {
    static std::mutex m;
    return m;
}

} // namespace

LogStream::LogStream(const std::string& path) {
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_fd >= 0) m_path = path;
}

LogStream::~LogStream() { Close(); }

void LogStream::Write(std::string_view text) {
    const std::string bytes = plat::Utf8ToGbk(text);
    std::lock_guard lock(m_mutex);
    // One write per line on an append-mode file: the line lands whole, at the
    // end, even if another process writes the same file.
    std::string_view rest = bytes;
    while (m_fd >= 0 && !rest.empty()) {
        const ssize_t n = ::write(m_fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // a full disk: the line is lost, logging goes on
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

void LogStream::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

std::string LogStream::Path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

LogStream* GetLogStream() {
    // Built once even when two threads log first at the same time; never freed,
    // so a thread that logs during exit finds a closed stream, not a dead one.
    static LogStream* const stream = [] {
        auto* s = new LogStream(plat::CurrentDirectory() + "/Logfile " + FormatLogDate() + ".txt");
        g_LogStream.store(s);
        std::atexit(DestroyLogStream);
        return s;
    }();
    return stream;
}

void LogPrintf(LogStream* stream, bool newline, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatCV(format, args);
    va_end(args);
    if (newline) text += '\n';
    static const bool console = ::isatty(STDOUT_FILENO) == 1;
    if (console) {
        std::lock_guard lock(stdoutMutex());
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    if (stream) stream->Write(text);
}

std::string FormatLogDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatC("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void DestroyLogStream() {
    if (LogStream* s = g_LogStream.load()) s->Close();
}

std::string LogFilePath(LogStream* stream) { return stream ? stream->Path() : std::string(); }

} // namespace smt
