#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct nft_ctx;

namespace zen {

// One libnftables context: commands in nft's own language, each buffer one kernel transaction
// (all of it or none of it). Only the service links this; the preloaded filter never does.
class Nftables {
public:
    Nftables();
    ~Nftables();
    Nftables(const Nftables&) = delete;
    Nftables& operator=(const Nftables&) = delete;

    struct Result {
        bool ok = false;
        std::string error;  // nft's own words when it failed
    };
    Result Run(std::string_view commands);

private:
    struct Free {
        void operator()(nft_ctx* context) const;
    };
    std::unique_ptr<nft_ctx, Free> context_;
};

}  // namespace zen
