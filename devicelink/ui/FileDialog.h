#pragma once

#include <QFileDialog>
#include <functional>
#include <optional>

namespace devicelink {

// Qt's file dialog set up for open(), so no event loop is nested on the window thread: it
// deletes itself when closed, and `chosen` gets the path, or nothing when the user cancels. An
// open dialog only offers files that exist.
QFileDialog *makeFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &caption,
                            const QString &fileName, const QString &filter,
                            const std::function<void(const std::optional<QString> &)> &chosen);

} // namespace devicelink
