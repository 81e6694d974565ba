#include "platform/nft_counters.h"

#include <endian.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nf_tables.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netlink.h>
#include <sys/socket.h>

#include <cstring>
#include <span>
#include <vector>

#include "platform/unique_fd.h"

namespace zen {
namespace {

constexpr std::size_t kAlign = NLA_ALIGNTO;

std::size_t Aligned(std::size_t length) {
    return (length + kAlign - 1) & ~(kAlign - 1);
}

void AppendAttribute(std::vector<char>& message, uint16_t type, const void* data,
                     std::size_t length) {
    nlattr header{};
    header.nla_len = static_cast<uint16_t>(NLA_HDRLEN + length);
    header.nla_type = type;
    const std::size_t at = message.size();
    message.resize(at + Aligned(header.nla_len));
    std::memcpy(message.data() + at, &header, sizeof header);
    std::memcpy(message.data() + at + NLA_HDRLEN, data, length);
}

// Calls `each(type, payload)` for every attribute in `area`.
template <typename Each>
void ForAttributes(std::span<const char> area, Each each) {
    while (area.size() >= NLA_HDRLEN) {
        nlattr header{};
        std::memcpy(&header, area.data(), sizeof header);
        if (header.nla_len < NLA_HDRLEN || header.nla_len > area.size()) {
            return;
        }
        each(header.nla_type & NLA_TYPE_MASK,
             area.subspan(NLA_HDRLEN, header.nla_len - NLA_HDRLEN));
        area = area.subspan(std::min(area.size(), Aligned(header.nla_len)));
    }
}

uint64_t BigEndian64(std::span<const char> payload) {
    uint64_t value = 0;
    if (payload.size() >= sizeof value) {
        std::memcpy(&value, payload.data(), sizeof value);
    }
    return be64toh(value);
}

std::vector<char> DumpRequest(std::string_view table) {
    std::vector<char> message(NLMSG_HDRLEN + Aligned(sizeof(nfgenmsg)));
    nfgenmsg family{};
    family.nfgen_family = NFPROTO_INET;
    family.version = NFNETLINK_V0;
    std::memcpy(message.data() + NLMSG_HDRLEN, &family, sizeof family);
    const std::string name(table);
    AppendAttribute(message, NFTA_OBJ_TABLE, name.c_str(), name.size() + 1);
    const uint32_t type = htobe32(NFT_OBJECT_COUNTER);
    AppendAttribute(message, NFTA_OBJ_TYPE, &type, sizeof type);
    nlmsghdr header{};
    header.nlmsg_len = static_cast<uint32_t>(message.size());
    header.nlmsg_type = (NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_GETOBJ;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = 1;
    std::memcpy(message.data(), &header, sizeof header);
    return message;
}

// One counter object of the dump: its name and packets, when it is of the table.
void TakeObject(std::span<const char> attributes, std::string_view table,
                std::map<std::string, uint64_t>& counters) {
    std::string owner, name;
    std::optional<uint64_t> packets;
    ForAttributes(attributes, [&](uint16_t type, std::span<const char> payload) {
        const std::string text(payload.data(), ::strnlen(payload.data(), payload.size()));
        if (type == NFTA_OBJ_TABLE) {
            owner = text;
        } else if (type == NFTA_OBJ_NAME) {
            name = text;
        } else if (type == NFTA_OBJ_DATA) {
            ForAttributes(payload, [&](uint16_t counter, std::span<const char> value) {
                if (counter == NFTA_COUNTER_PACKETS) {
                    packets = BigEndian64(value);
                }
            });
        }
    });
    if (owner == table && packets) {
        counters[name] = *packets;
    }
}

}  // namespace

std::optional<std::map<std::string, uint64_t>> ReadInetTableCounters(std::string_view table) {
    const UniqueFd socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_NETFILTER));
    if (!socket) {
        return std::nullopt;
    }
    const std::vector<char> request = DumpRequest(table);
    if (::send(socket.get(), request.data(), request.size(), 0) !=
        static_cast<ssize_t>(request.size())) {
        return std::nullopt;
    }
    std::map<std::string, uint64_t> counters;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t received = ::recv(socket.get(), buffer.data(), buffer.size(), 0);
        if (received <= 0) {
            return std::nullopt;
        }
        std::size_t at = 0;
        while (at + NLMSG_HDRLEN <= static_cast<std::size_t>(received)) {
            nlmsghdr header{};
            std::memcpy(&header, buffer.data() + at, sizeof header);
            if (header.nlmsg_len < NLMSG_HDRLEN || at + header.nlmsg_len > std::size_t(received)) {
                return std::nullopt;
            }
            if (header.nlmsg_type == NLMSG_DONE) {
                return counters;
            }
            if (header.nlmsg_type == NLMSG_ERROR) {
                // An error (no such table) or the acknowledgement of the request.
                nlmsgerr error{};
                std::memcpy(&error, buffer.data() + at + NLMSG_HDRLEN,
                            std::min<std::size_t>(sizeof error, header.nlmsg_len - NLMSG_HDRLEN));
                if (error.error != 0) {
                    return std::nullopt;
                }
            } else {
                const std::size_t body = NLMSG_HDRLEN + Aligned(sizeof(nfgenmsg));
                if (header.nlmsg_len > body) {
                    TakeObject({buffer.data() + at + body, header.nlmsg_len - body}, table,
                               counters);
                }
            }
            at += NLMSG_ALIGN(header.nlmsg_len);
        }
    }
}

}  // namespace zen
