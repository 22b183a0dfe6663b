#pragma once

#include <QObject>
#include <QString>

namespace quorvid {

// What the progress bar shows: a value meant for 0 to 100 (callers may pass a
// little more, the bar clamps) and a text on the bar.
class ProgressState : public QObject {
    Q_OBJECT
  public:
    static constexpr auto kIdleText = "Progress Bar";

    double value() const { return value_; }
    const QString& text() const { return text_; }

    void setValue(double value) {
        value_ = value;
        emit valueChanged(value_);
    }
    void setText(const QString& text) {
        text_ = text;
        emit textChanged(text_);
    }

  signals:
    void valueChanged(double value);
    void textChanged(const QString& text);

  private:
    double value_ = 0;
    QString text_ = QString::fromLatin1(kIdleText);
};

}  // namespace quorvid
