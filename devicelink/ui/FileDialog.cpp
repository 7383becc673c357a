#include "devicelink/ui/FileDialog.h"

namespace devicelink {

QFileDialog *makeFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &caption,
                            const QString &fileName, const QString &filter,
                            const std::function<void(const std::optional<QString> &)> &chosen)
{
    auto *dialog = new QFileDialog(parent, caption, fileName, filter);
    dialog->setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen)
        dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [chosen](const QString &path) { chosen(path); });
    QObject::connect(dialog, &QDialog::rejected, dialog, [chosen] { chosen(std::nullopt); });
    return dialog;
}

} // namespace devicelink
