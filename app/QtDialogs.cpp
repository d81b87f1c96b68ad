#include "app/QtDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tavik::app {

namespace {
QMessageBox::Icon qtIcon(ui::MessageIcon icon)
{
    switch (icon) {
    case ui::MessageIcon::Information:
        return QMessageBox::Information;
    case ui::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case ui::MessageIcon::Stop:
        return QMessageBox::Critical;
    case ui::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QtDialogs::QtDialogs(QWidget* parent)
    : parent_(parent)
{
}

QString QtDialogs::programTitle() const
{
    // The window's title names the program; a box without a title of its own shows it.
    if (parent_ && !parent_->window()->windowTitle().isEmpty())
        return parent_->window()->windowTitle();
    return QCoreApplication::applicationName();
}

void QtDialogs::showMessage(const QString& text, ui::MessageIcon icon, const QString& title)
{
    QMessageBox box(qtIcon(icon), title.isEmpty() ? programTitle() : title, text, QMessageBox::Ok, parent_);
    box.exec();
}

QString QtDialogs::askText(const QString& prompt, const QString& title, const QString& defaultText)
{
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtDialogs::chooseFileToOpen(const QStringList& filters, const QString& initialName)
{
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return initialName;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

} // namespace tavik::app
