#include "support/ScriptedDialogs.h"

namespace quorvid::test {

namespace {

template <typename T>
T Take(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T value = queue.front();
    queue.pop_front();
    return value;
}

}  // namespace

void ScriptedDialogs::Record(Kind kind, const QString& title, const QString& text,
                             const QString& extra) {
    shown.push_back({kind, title, text, extra});
    if (onShow) {
        onShow(shown.back());
    }
}

void ScriptedDialogs::Message(const QString& text) {
    Record(Kind::Message, QString::fromLatin1(kProductName), text);
}

void ScriptedDialogs::Warning(const QString& title, const QString& text) {
    Record(Kind::Warning, title, text);
}

bool ScriptedDialogs::AskYesNo(const QString& text) {
    Record(Kind::YesNo, QString::fromLatin1(kProductName), text);
    return Take(yesNoAnswers, false);
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& preset) {
    Record(Kind::Input, QString::fromLatin1(kProductName), prompt, preset);
    return Take(inputAnswers, QString());
}

QStringList ScriptedDialogs::OpenFiles(const QString& title, const QString& filter) {
    Record(Kind::OpenFiles, title, {}, filter);
    return Take(openAnswers, QStringList());
}

QString ScriptedDialogs::SaveFile(const QString& title, const QString& filter) {
    Record(Kind::SaveFile, title, {}, filter);
    return Take(saveAnswers, QString());
}

QString ScriptedDialogs::PickFolder(const QString& title, const QString& startFolder) {
    Record(Kind::PickFolder, title, {}, startFolder);
    return Take(folderAnswers, QString());
}

QStringList ScriptedDialogs::Warnings() const {
    QStringList texts;
    for (const Shown& item : shown) {
        if (item.kind == Kind::Warning) {
            texts << item.text;
        }
    }
    return texts;
}

QStringList ScriptedDialogs::Messages() const {
    QStringList texts;
    for (const Shown& item : shown) {
        if (item.kind == Kind::Message) {
            texts << item.text;
        }
    }
    return texts;
}

}  // namespace quorvid::test
