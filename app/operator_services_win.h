#pragma once

#include "seam/operator_services.h"

namespace quorvanex {

class WindowsOperatorServices final : public OperatorServices {
  public:
    void ShowStatusLine(const wchar_t* text, const StatusText& row) override;
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) override;
    void RequestMainWindowClose() override;
    void EndProcess(int exitCode) override;
};

}  // namespace quorvanex
