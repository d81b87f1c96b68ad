#pragma once

#include <QString>
#include <QStringList>

namespace tavik::ui {

enum class MessageIcon { None, Information, Exclamation, Stop };

// Everything a task asks or tells the user goes through here: the window answers with Qt's
// dialogs, the batch mode with the terminal, tests with a script.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message with an OK button. An empty title shows the program's title.
    virtual void showMessage(const QString& text, MessageIcon icon, const QString& title) = 0;
    // A modal input box; the typed text, or the empty text when the user cancels.
    virtual QString askText(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // A modal file-open dialog; the chosen path, or what the dialog reports on cancel.
    virtual QString chooseFileToOpen(const QStringList& filters, const QString& initialName) = 0;
};

} // namespace tavik::ui
