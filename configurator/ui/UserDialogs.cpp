#include "configurator/ui/UserDialogs.h"

#include "devicelink/ui/FileDialog.h"

#include <QFileDialog>
#include <QMessageBox>

namespace configurator {

namespace {

void showFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &initialName,
                    const UserDialogs::Chosen &chosen)
{
    devicelink::makeFileDialog(
        parent, mode, QString(), initialName, QString(),
        [chosen](const std::optional<QString> &path) { chosen(path.value_or(QString())); })
        ->open();
}

} // namespace

void StandardDialogs::openFileName(QWidget *parent, const QString &initialName,
                                   const Chosen &chosen)
{
    showFileDialog(parent, QFileDialog::AcceptOpen, initialName, chosen);
}

void StandardDialogs::saveFileName(QWidget *parent, const QString &initialName,
                                   const Chosen &chosen)
{
    showFileDialog(parent, QFileDialog::AcceptSave, initialName, chosen);
}

void StandardDialogs::showInformation(QWidget *parent, const QString &title, const QString &text,
                                      const std::function<void()> &closed)
{
    // The search's find message has no icon, only the text and OK.
    auto *box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [closed] { closed(); });
    box->open();
}

void StandardDialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace configurator
