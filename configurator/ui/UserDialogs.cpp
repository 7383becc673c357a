#include "configurator/ui/UserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace configurator {

QString StandardDialogs::openFileName(QWidget *parent, const QString &initialName)
{
    return QFileDialog::getOpenFileName(parent, QString(), initialName);
}

QString StandardDialogs::saveFileName(QWidget *parent, const QString &initialName)
{
    return QFileDialog::getSaveFileName(parent, QString(), initialName);
}

void StandardDialogs::information(QWidget *parent, const QString &title, const QString &text)
{
    // The search's find message has no icon, only the text and OK.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void StandardDialogs::showInformation(QWidget *parent, const QString &title, const QString &text,
                                      const std::function<void()> &closed)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [closed] { closed(); });
    box->open();
}

void StandardDialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text);
}

} // namespace configurator
