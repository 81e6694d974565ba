#include "platform/process_events.h"

#include <linux/cn_proc.h>
#include <linux/connector.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace zen {
namespace {

// Room for several seconds of a busy machine's events between two passes.
constexpr int kReceiveBuffer = 8 << 20;
constexpr std::chrono::milliseconds kAcknowledgeWait{1000};

bool SendControl(int socket, proc_cn_mcast_op operation) {
    alignas(nlmsghdr) std::array<char, NLMSG_SPACE(sizeof(cn_msg) + sizeof(operation))> message{};
    auto* header = reinterpret_cast<nlmsghdr*>(message.data());
    header->nlmsg_len = NLMSG_LENGTH(sizeof(cn_msg) + sizeof(operation));
    header->nlmsg_type = NLMSG_DONE;
    header->nlmsg_pid = 0;
    auto* connector = static_cast<cn_msg*>(NLMSG_DATA(header));
    connector->id = {CN_IDX_PROC, CN_VAL_PROC};
    connector->len = sizeof(operation);
    std::memcpy(connector->data, &operation, sizeof(operation));
    return ::send(socket, message.data(), header->nlmsg_len, 0) >= 0;
}

// One datagram: its event, or nothing for what is not a whole event from the kernel.
struct Received {
    ssize_t length;  // < 0: recv failed (errno)
    std::optional<proc_event> event;
};

Received Receive(int socket, std::array<char, 4096>& datagram, int flags) {
    sockaddr_nl sender{};
    socklen_t senderSize = sizeof sender;
    const ssize_t length = ::recvfrom(socket, datagram.data(), datagram.size(), flags,
                                      reinterpret_cast<sockaddr*>(&sender), &senderSize);
    if (length <= 0 || sender.nl_pid != 0) {
        return {length, std::nullopt};
    }
    const auto* header = reinterpret_cast<const nlmsghdr*>(datagram.data());
    if (!NLMSG_OK(header, static_cast<unsigned>(length)) || header->nlmsg_type == NLMSG_ERROR ||
        header->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_event))) {
        return {length, std::nullopt};
    }
    const auto* connector = static_cast<const cn_msg*>(NLMSG_DATA(header));
    if (connector->id.idx != CN_IDX_PROC || connector->len < sizeof(proc_event)) {
        return {length, std::nullopt};
    }
    // The event follows the 20-byte connector header: copied out to its own alignment.
    proc_event event;
    std::memcpy(&event, connector->data, sizeof event);
    return {length, event};
}

std::optional<ProcessEvent> Translate(const proc_event& event) {
    switch (event.what) {
        case proc_event::PROC_EVENT_FORK:
            if (event.event_data.fork.child_pid == event.event_data.fork.child_tgid) {
                return ProcessEvent{ProcessEventKind::Started, event.event_data.fork.child_tgid};
            }
            break;
        case proc_event::PROC_EVENT_EXEC:
            return ProcessEvent{ProcessEventKind::Executed, event.event_data.exec.process_tgid};
        case proc_event::PROC_EVENT_UID:
            // /proc shows the credentials of the group's leader.
            if (event.event_data.id.process_pid == event.event_data.id.process_tgid) {
                return ProcessEvent{ProcessEventKind::UidChanged, event.event_data.id.process_tgid};
            }
            break;
        case proc_event::PROC_EVENT_EXIT:
            if (event.event_data.exit.process_pid == event.event_data.exit.process_tgid) {
                return ProcessEvent{ProcessEventKind::Ended, event.event_data.exit.process_tgid};
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ProcessEvents> ProcessEvents::Subscribe() {
    UniqueFd socket(::socket(PF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_CONNECTOR));
    if (!socket) {
        return std::nullopt;
    }
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = CN_IDX_PROC;
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !SendControl(socket.get(), PROC_CN_MCAST_LISTEN)) {
        return std::nullopt;
    }
    // Events of other processes may come before the acknowledgement; they are dropped, as the
    // caller reads /proc whole after subscribing.
    std::array<char, 4096> datagram;
    const auto until = std::chrono::steady_clock::now() + kAcknowledgeWait;
    pollfd ready{socket.get(), POLLIN, 0};
    while (std::chrono::steady_clock::now() < until &&
           ::poll(&ready, 1, kAcknowledgeWait.count()) > 0) {
        const Received received = Receive(socket.get(), datagram, 0);
        if (received.length <= 0) {
            break;
        }
        if (received.event && received.event->what == proc_event::PROC_EVENT_NONE) {
            if (received.event->event_data.ack.err != 0) {
                break;
            }
            return ProcessEvents(std::move(socket));
        }
    }
    return std::nullopt;
}

ProcessEvents::~ProcessEvents() {
    if (socket_) {
        SendControl(socket_.get(), PROC_CN_MCAST_IGNORE);
    }
}

bool ProcessEvents::Drain(const std::function<void(const ProcessEvent&)>& each) {
    std::array<char, 4096> datagram;
    for (;;) {
        const Received received = Receive(socket_.get(), datagram, MSG_DONTWAIT);
        if (received.length < 0) {
            if (errno == EINTR) {
                continue;
            }
            // ENOBUFS: the queue overflowed and events were lost.
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (received.event) {
            if (const auto translated = Translate(*received.event)) {
                each(*translated);
            }
        }
    }
}

}  // namespace zen
