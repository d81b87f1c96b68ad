#pragma once

#include "ui/UserInterface.h"

#include <QStringList>

#include <functional>
#include <stdexcept>

namespace tavik::testsupport {

// Answers the tasks' questions from a script and keeps what they showed, as a user would see it.
class ScriptedDialogs : public tavik::ui::UserInterface {
public:
    struct Shown {
        QString text;
        tavik::ui::MessageIcon icon;
        QString title;
    };
    struct Asked {
        QString prompt;
        QString title;
        QString defaultText;
    };

    QList<Shown> messages;
    QList<Asked> questions;
    QStringList answers;          // taken in order; "" when none is left (as Cancel)
    QStringList fileChoices;      // taken in order; the initial name when none is left (as Cancel)
    std::function<void()> whileAsking; // runs while a question is open, as a slow user would let time pass
    // A question that asks again after Cancel would never end; such a test makes one question too
    // many an error instead.
    bool cancelWhenNoAnswerIsLeft = true;

    void showMessage(const QString& text, tavik::ui::MessageIcon icon, const QString& title) override
    {
        messages.append({text, icon, title});
    }

    QString askText(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        questions.append({prompt, title, defaultText});
        if (whileAsking)
            whileAsking();
        if (answers.isEmpty() && !cancelWhenNoAnswerIsLeft)
            throw std::runtime_error("asked more often than the script answers");
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QString chooseFileToOpen(const QStringList&, const QString& initialName) override
    {
        return fileChoices.isEmpty() ? initialName : fileChoices.takeFirst();
    }
};

} // namespace tavik::testsupport
