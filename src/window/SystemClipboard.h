#pragma once

#include "core/export/Clipboard.h"

namespace quorvid {

// The desktop's clipboard through QClipboard. An attempt counts as done only
// when the clipboard reads back what was put there.
class SystemClipboard : public Clipboard {
  public:
    SystemClipboard() = default;
    bool Clear() override;
    bool SetText(const QString& text) override;
    QString Text() const override;
};

}  // namespace quorvid
