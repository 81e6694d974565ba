#include "tools/zenctl/password_gate.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "common/db/admin_password.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "tools/zenctl/invocation.h"

namespace zen::ctl {
namespace {

void StripLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
}

std::string FromFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof())) {
        throw CommandError(kExitWrongPassword, "cannot read the password file " + file);
    }
    StripLineEnd(line);
    return line;
}

// Restores the terminal's echo however the read ends.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (active_) {
            ::tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

std::string FromTerminal(std::string_view prompt) {
    UniqueFd tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!tty) {
        throw CommandError(kExitWrongPassword,
                           "there is no terminal to ask for the password on: give it with "
                           "--password-file FILE (a new one with --new-password-file FILE)");
    }
    [[maybe_unused]] const ssize_t shown = ::write(tty.get(), prompt.data(), prompt.size());
    std::string line;
    {
        EchoOff quiet(tty.get());
        char c = 0;
        while (::read(tty.get(), &c, 1) == 1 && c != '\n') {
            line += c;
        }
    }
    [[maybe_unused]] const ssize_t ended = ::write(tty.get(), "\n", 1);
    StripLineEnd(line);
    return line;
}

}  // namespace

std::u16string ReadPassword(const std::optional<std::string>& file, std::string_view prompt) {
    const std::string text = file ? FromFile(*file) : FromTerminal(prompt);
    const auto converted = Utf8ToUtf16Strict(text);
    if (!converted) {
        throw CommandError(kExitWrongPassword, "the password is not valid UTF-8");
    }
    return *converted;
}

std::u16string PasswordGate(std::u16string_view stored, const std::optional<std::string>& file) {
    if (!PasswordRequired(stored)) {
        return {};
    }
    std::u16string given = ReadPassword(file, "Password: ");
    if (!PasswordMatches(stored, given)) {
        throw CommandError(kExitWrongPassword, "the password is incorrect; nothing was changed");
    }
    return given;
}

}  // namespace zen::ctl
