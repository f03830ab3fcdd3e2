#include "cli/update/approval_check.h"

#include "text/utf8.h"

namespace quorvanex::cli {

void ApprovalCheck::ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                                std::size_t size) {
    const std::string name = Utf8FromWide(file);
    if (!approved_.Approves(name, ImageDigest(id, data, size))) {
        throw ImageNotApproved{name};
    }
    services_.ImageLoaded(file, id, data, size);
}

}  // namespace quorvanex::cli
