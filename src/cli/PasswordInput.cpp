#include "cli/PasswordInput.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "device/SecureWipe.h"
#include "errors/OvException.h"

namespace {

// Far beyond the longest password the devices take (12 characters of up to 4 bytes each); what
// follows is left unread, and the length rule refuses the password.
constexpr std::size_t kMaxLineBytes = 256;

#ifdef _WIN32
int ReadSome(int fd, char* byte) { return ::_read(fd, byte, 1); }
bool IsTerminal(int fd) { return ::_isatty(fd) != 0; }
int OpenForReading(const char* path) { return ::_open(path, _O_RDONLY | _O_BINARY); }
void CloseFile(int fd) { ::_close(fd); }
#else
int ReadSome(int fd, char* byte) {
    ssize_t count = 0;
    do {
        count = ::read(fd, byte, 1);
    } while (count < 0 && errno == EINTR);
    return static_cast<int>(count);
}
bool IsTerminal(int fd) { return ::isatty(fd) != 0; }
int OpenForReading(const char* path) { return ::open(path, O_RDONLY | O_CLOEXEC); }
void CloseFile(int fd) { ::close(fd); }
#endif

// The first line of fd, its line break (LF or CR LF) left out.
void ReadLine(int fd, std::string& line, const std::string& source) {
    WipeString(line);
    line.reserve(kMaxLineBytes);
    char byte = 0;
    while (line.size() < kMaxLineBytes) {
        const int count = ReadSome(fd, &byte);
        if (count < 0) {
            WipeString(line);
            throw OvException("Cannot read the access password from " + source + ": " + std::strerror(errno));
        }
        if (count == 0 || byte == '\n') break;
        line.push_back(byte);
    }
    WipeValue(byte);
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Turns the terminal's echo off for its lifetime.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd) {
#ifndef _WIN32
        if (::tcgetattr(fd_, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        restore_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
#endif
    }
    ~EchoOff() {
#ifndef _WIN32
        if (restore_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
#endif
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
#ifndef _WIN32
    termios saved_{};
    bool restore_ = false;
#endif
};

void WriteToStderr(const char* text) {
#ifdef _WIN32
    ::_write(2, text, static_cast<unsigned>(std::strlen(text)));
#else
    static_cast<void>(::write(2, text, std::strlen(text)));
#endif
}

}  // namespace

void ReadPasswordFromStdin(std::string& password) {
    constexpr int kStdin = 0;
    if (!IsTerminal(kStdin)) {
        ReadLine(kStdin, password, "standard input");
        return;
    }
    WriteToStderr("Access password: ");
    {
        const EchoOff quiet(kStdin);
        ReadLine(kStdin, password, "the terminal");
    }
    WriteToStderr("\n");
}

void ReadPasswordFromFile(const std::string& path, std::string& password) {
    const int fd = OpenForReading(path.c_str());
    if (fd < 0) throw OvException("Cannot open the password file " + path + ": " + std::strerror(errno));
    try {
        ReadLine(fd, password, path);
    } catch (...) {
        CloseFile(fd);
        throw;
    }
    CloseFile(fd);
}
