#include "mail/mail_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "support/temp_root.h"

namespace zen::test {
namespace {

// No test waits longer than this for its peer.
constexpr int kPeerWaitMs = 20'000;

bool WaitReadable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, kPeerWaitMs) > 0;
}

// Reads from `fd` until `buffer` holds `terminator`; returns what came before it (and drops
// it with the terminator from the buffer). False on hang-up or when the client stays silent.
bool ReadUntil(int fd, std::string& buffer, std::string_view terminator, std::string& item) {
    for (;;) {
        if (const std::size_t end = buffer.find(terminator); end != std::string::npos) {
            item = buffer.substr(0, end);
            buffer.erase(0, end + terminator.size());
            return true;
        }
        char chunk[4096];
        const ssize_t count = WaitReadable(fd) ? ::read(fd, chunk, sizeof chunk) : -1;
        if (count <= 0) {
            return false;
        }
        buffer.append(chunk, static_cast<std::size_t>(count));
    }
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
}

}  // namespace

ScriptedSmtpServer::ScriptedSmtpServer(std::vector<std::string> replies, int family) {
    listener_.reset(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *v4;
    }
    if (!listener_ || ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_.get(), 4) != 0 ||
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    thread_ = std::thread(&ScriptedSmtpServer::Serve, this, std::move(replies));
}

ScriptedSmtpServer::~ScriptedSmtpServer() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

const std::vector<std::string>& ScriptedSmtpServer::Received() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return received_;
}

void ScriptedSmtpServer::Serve(std::vector<std::string> replies) {
    if (!WaitReadable(listener_.get())) {
        return;
    }
    const UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    std::string buffer;
    bool inData = false;
    for (std::size_t next = 0; client; ++next) {
        if (next > 0) {
            std::string item;
            if (!ReadUntil(client.get(), buffer, inData ? "\r\n.\r\n" : "\r\n", item)) {
                return;
            }
            received_.push_back(item);
        }
        if (next == replies.size()) {
            // Out of lines: stay silent until the client gives up.
            char chunk[4096];
            while (WaitReadable(client.get()) && ::recv(client.get(), chunk, sizeof chunk, 0) > 0) {
            }
            return;
        }
        inData = replies[next].rfind("354", 0) == 0;
        ::send(client.get(), replies[next].data(), replies[next].size(), MSG_NOSIGNAL);
    }
}

TestCertificates MakeTestCertificates(const std::filesystem::path& folder) {
    const std::string dir = folder.string();
    const std::string quiet = " >/dev/null 2>&1";
    const std::string newKey =
        "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    Run(newKey + " -x509 -days 2 -subj /CN=ZenTestCA -keyout " + dir + "/ca.key -out " + dir +
        "/ca.pem" + quiet);
    auto makeServer = [&](const std::string& name, const std::string& names) {
        Run(newKey + " -subj /CN=" + name + " -keyout " + dir + "/" + name + ".key -out " + dir +
            "/" + name + ".csr" + quiet);
        Run("printf 'subjectAltName=" + names + "\\n' > " + dir + "/" + name + ".ext");
        Run("openssl x509 -req -days 2 -in " + dir + "/" + name + ".csr -CA " + dir +
            "/ca.pem -CAkey " + dir + "/ca.key -CAcreateserial -extfile " + dir + "/" + name +
            ".ext -out " + dir + "/" + name + ".pem" + quiet);
    };
    makeServer("server", "IP:127.0.0.1,DNS:localhost");
    makeServer("other", "DNS:other.example");
    return {folder / "ca.pem", folder / "server.pem", folder / "server.key", folder / "other.pem",
            folder / "other.key"};
}

AiosmtpdServer::AiosmtpdServer(const std::filesystem::path& folder, const Options& options)
    : folder_(folder) {
    std::filesystem::create_directories(folder_);
    const std::string script = ZEN_TEST_SOURCE_DIR "/mail/smtp_server.py";
    std::vector<std::string> args = {"/usr/bin/python3",
                                     script,
                                     "--folder",
                                     folder_.string(),
                                     "--mode",
                                     options.mode,
                                     "--user",
                                     options.user,
                                     "--password",
                                     options.password,
                                     "--cert",
                                     options.cert.string(),
                                     "--key",
                                     options.key.string()};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(writeEnd.get(), STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    writeEnd.reset();
    std::string buffer;
    std::string line;
    if (pid_ < 0 || !ReadUntil(readEnd.get(), buffer, "\n", line) || line.rfind("PORT ", 0) != 0) {
        this->~AiosmtpdServer();
        throw std::runtime_error("the SMTP server did not start");
    }
    port_ = static_cast<uint16_t>(std::stoi(line.substr(5)));
}

AiosmtpdServer::~AiosmtpdServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::string AiosmtpdServer::Message(int number) const {
    return ReadAll(folder_ / (std::to_string(number) + ".eml"));
}

std::multimap<std::string, std::string> AiosmtpdServer::Facts(int number) const {
    std::multimap<std::string, std::string> facts;
    std::istringstream in(ReadAll(folder_ / (std::to_string(number) + ".meta")));
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        facts.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return facts;
}

int AiosmtpdServer::MessageCount() const {
    int count = 0;
    while (std::filesystem::exists(folder_ / (std::to_string(count + 1) + ".meta"))) {
        ++count;
    }
    return count;
}

std::string AttachedFile(const std::string& mail, const std::string& name) {
    const std::string start = "filename=\"" + name + "\"\r\n\r\n";
    const std::size_t begin = mail.find(start);
    if (begin == std::string::npos) {
        return "";
    }
    std::string text = mail.substr(begin + start.size());
    text = text.substr(0, text.find("\r\n\r\n--"));
    std::erase(text, '\r');
    std::erase(text, '\n');
    std::string bytes(text.size(), '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    bytes.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    bytes.resize(bytes.size() -
                 static_cast<std::size_t>(std::count(text.end() - 2, text.end(), '=')));
    return bytes;
}

}  // namespace zen::test
