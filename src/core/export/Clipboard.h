#pragma once

#include <QString>

namespace quorvid {

// The system clipboard, plain text only.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // One attempt each; false when the clipboard refused.
    virtual bool Clear() = 0;
    virtual bool SetText(const QString& text) = 0;
    virtual QString Text() const = 0;
};

}  // namespace quorvid
