#pragma once

#include "ui/UserInterface.h"

class QWidget;

namespace tavik::app {

// The window's way of asking and telling: Qt's modal message box, input box and file dialog.
class QtDialogs : public ui::UserInterface {
public:
    explicit QtDialogs(QWidget* parent);

    void showMessage(const QString& text, ui::MessageIcon icon, const QString& title) override;
    QString askText(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString chooseFileToOpen(const QStringList& filters, const QString& initialName) override;

    QString programTitle() const;

private:
    QWidget* parent_;
};

} // namespace tavik::app
