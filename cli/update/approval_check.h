// update --expect: the check that keeps bytes that are not approved off a unit. It stands around
// the operator services: each image that the update loads to be written is held to the approved
// set by the SHA-256 of its ID and data before it goes on to the services it wraps, and an image
// with other bytes ends the update there (ImageNotApproved), before its region is erased, the way
// a fatal stop ends it. Everything else passes through as it is.
#pragma once

#include <string>

#include "cli/image_set.h"
#include "seam/operator_services.h"

namespace quorvanex::cli {

// Thrown when the bytes of an image loaded to be written are not the approved ones: nothing of
// that image has been written, its region not erased.
struct ImageNotApproved {
    std::string name;
};

class ApprovalCheck final : public OperatorServices {
  public:
    ApprovalCheck(OperatorServices& services, ApprovedSet approved)
        : services_(services), approved_(std::move(approved)) {}

    void ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                     std::size_t size) override;

    void ShowStatusLine(const wchar_t* text, const StatusText& row) override {
        services_.ShowStatusLine(text, row);
    }
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) override {
        services_.ShowNotice(text, caption, icon);
    }
    void RequestMainWindowClose() override { services_.RequestMainWindowClose(); }
    void EndProcess(int exitCode) override { services_.EndProcess(exitCode); }
    void ReportProgress(const wchar_t* file, std::uint64_t bytesDone,
                        std::uint64_t bytesTotal) override {
        services_.ReportProgress(file, bytesDone, bytesTotal);
    }

  private:
    OperatorServices& services_;
    const ApprovedSet approved_;
};

}  // namespace quorvanex::cli
