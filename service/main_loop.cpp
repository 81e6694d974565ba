#include "service/main_loop.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <cstdio>

#include "common/db/error_log.h"
#include "platform/root.h"
#include "service/service_context.h"
#include "service/session_logon.h"
#include "service/work.h"

namespace zen {

ServiceMainLoop::ServiceMainLoop(std::string name, bool debugMode, const Environment& environment)
    : debugMode_(debugMode), context_(std::make_unique<ServiceContext>(environment)) {
    context_->name = std::move(name);
    context_->debugMode = debugMode;
}

ServiceMainLoop::~ServiceMainLoop() = default;

bool ServiceMainLoop::Create() {
    epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_ || !posted_.Create() || !Watch(posted_.fd(), EPOLLIN)) {
        LogError("Create () : CreateIoCompletionPort failed");
        return false;
    }
    // System shutdown: systemd's SIGTERM, or Ctrl-C on a debug run. The mask was set before
    // any thread started, so every thread leaves these signals to this descriptor.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    signals_.reset(::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals_ || !Watch(signals_.get(), EPOLLIN)) {
        ShowSysError(0, "signalfd");
    }
    if (!control_.Open() || !Watch(control_.fd(), EPOLLIN)) {
        ShowSysError(0, "control socket");
    }
    const auto onSession = [this](uint32_t eventType, const std::string& sessionId) {
        ServiceControlHandler(kControlSessionChange, eventType, sessionId);
    };
    if (sessions_.Open(onSession) && !Watch(sessions_.fd(), sessions_.events())) {
        ShowSysError(0, "session monitor");
    }
    return true;
}

bool ServiceMainLoop::Watch(int fd, uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    return ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &event) == 0;
}

void ServiceMainLoop::PostStatus(uint32_t code) {
    if (!posted_.Post(code)) {
        LogError("PostStatus () : PostQueuedCompletionStatus return FALSE");
    }
}

uint32_t ServiceMainLoop::ServiceControlHandler(uint32_t code, uint32_t eventType,
                                                std::string_view sessionId) {
    switch (code) {
        case kControlInterrogate:
            status_.ReportStatus();
            return kCallNotImplemented;
        case kControlShutdown:
        case kStopCode:
            // A stop already under way is not begun again.
            if (status_.BeginStop()) {
                PostStatus(code);
            }
            return 0;
        case kControlSessionChange:
            if (eventType == kSessionConsoleConnect || eventType == kSessionLogon) {
                SessionLogon(context_->db, sessionId);
            }
            PostStatus(code);
            return 0;
        default:
            return kCallNotImplemented;
    }
}

void ServiceMainLoop::Start() {
    StartWork(*context_);
    timeSocket_.Close();
    if (!timeSocket_.Open()) {
        ShowSysError(0, "CreateNamedPipe");
    } else if (!Watch(timeSocket_.fd(), EPOLLIN)) {
        LogError("AssociateDevice () : CreateIoCompletionPort failed");
    }
    status_.AdvanceStatus();
    if (debugMode_) {
        std::fprintf(stderr, "zensvc: running; the clock answers on %s\n",
                     paths::TimeSocket().c_str());
    }
}

void ServiceMainLoop::Stop(uint32_t code) {
    exitCode_ = code == kStopCode ? kStopCode : 0;
    if (!TermService(*context_)) {
        // A worker still runs on the context: it must live as long as the process does.
        static_cast<void>(context_.release());
    }
    timeSocket_.Close();
    status_.AdvanceStatus();
    if (debugMode_) {
        std::fprintf(stderr, "zensvc: stopped by control code %u\n", code);
    }
}

void ServiceMainLoop::HandleSignal() {
    signalfd_siginfo info{};
    while (::read(signals_.get(), &info, sizeof info) == sizeof info) {
        ServiceControlHandler(kControlShutdown, 0, {});
    }
}

ServiceMainLoop::Packet ServiceMainLoop::WaitForPacket() {
    for (;;) {
        if (const auto code = posted_.Take()) {
            return {Key::Control, *code};
        }
        if (clientWaiting_) {
            clientWaiting_ = false;
            return {Key::TimeClient, 0};
        }
        int timeout = -1;
        if (sessions_.IsOpen()) {
            epoll_event bus{};
            bus.events = sessions_.events();
            bus.data.fd = sessions_.fd();
            ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, bus.data.fd, &bus);
            timeout = sessions_.timeoutMs();
        }
        epoll_event ready[8];
        const int count = ::epoll_wait(epoll_.get(), ready, 8, timeout);
        if (count < 0 && errno != EINTR) {
            LogError("GetQueuedCompletionStatus failed");
        }
        for (int i = 0; i < count; ++i) {
            const int fd = ready[i].data.fd;
            if (fd == timeSocket_.fd()) {
                clientWaiting_ = true;
            } else if (fd == control_.fd()) {
                control_.ServeOne(
                    [this](uint32_t code) { return ServiceControlHandler(code, 0, {}); });
            } else if (fd == signals_.get()) {
                HandleSignal();
            }
        }
        if (sessions_.IsOpen()) {
            sessions_.Process();
        }
    }
}

int ServiceMainLoop::Run() {
    Create();
    status_.Initialize(debugMode_);
    status_.AcceptControls(kAcceptShutdown | kAcceptSessionChange);
    Packet packet{Key::Control, kControlStart};
    for (;;) {
        if (packet.key == Key::Control) {
            switch (packet.code) {
                case kControlStart:
                    Start();
                    break;
                case kControlStop:
                case kControlPause:
                case kControlShutdown:
                case kStopCode:
                    Stop(packet.code);
                    break;
                default:
                    break;
            }
        } else if (timeSocket_.IsOpen()) {
            timeSocket_.ServeOne();
        }
        if (status_.state() == ServiceState::Stopped) {
            break;
        }
        packet = WaitForPacket();
    }
    control_.Close();
    return exitCode_;
}

}  // namespace zen
