#include "platform/nftables.h"

#include <nftables/libnftables.h>

namespace zen {

void Nftables::Free::operator()(nft_ctx* context) const {
    ::nft_ctx_free(context);
}

Nftables::Nftables() : context_(::nft_ctx_new(NFT_CTX_DEFAULT)) {
    if (context_) {
        // What a listing prints stays in the context, off the service's standard output.
        ::nft_ctx_buffer_output(context_.get());
        ::nft_ctx_buffer_error(context_.get());
    }
}

Nftables::~Nftables() = default;

Nftables::Result Nftables::Run(std::string_view commands) {
    Result result;
    if (!context_) {
        result.error = "libnftables could not make a context";
        return result;
    }
    const std::string buffer(commands);
    result.ok = ::nft_run_cmd_from_buffer(context_.get(), buffer.c_str()) == 0;
    if (const char* error = ::nft_ctx_get_error_buffer(context_.get())) {
        result.error = error;
    }
    return result;
}

}  // namespace zen
