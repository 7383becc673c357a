#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace configurator {

// The file dialogs and message boxes of the configurator's windows. The windows reach them only
// through this interface, so the tests can answer them without a user. Each is shown without
// waiting for it: what comes after it runs in a callback once the user has answered. A dialog
// whose parent goes away goes with it, and its callback does not run.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // Gets the chosen path, or an empty string when the user cancels.
    using Chosen = std::function<void(const QString &path)>;

    virtual void openFileName(QWidget *parent, const QString &initialName,
                              const Chosen &chosen) = 0;
    virtual void saveFileName(QWidget *parent, const QString &initialName,
                              const Chosen &chosen) = 0;
    // A message box with an OK button only; `closed` runs once the user has closed it.
    virtual void showInformation(QWidget *parent, const QString &title, const QString &text,
                                 const std::function<void()> &closed) = 0;
    virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The platform's standard dialogs.
class StandardDialogs : public UserDialogs
{
public:
    void openFileName(QWidget *parent, const QString &initialName, const Chosen &chosen) override;
    void saveFileName(QWidget *parent, const QString &initialName, const Chosen &chosen) override;
    void showInformation(QWidget *parent, const QString &title, const QString &text,
                         const std::function<void()> &closed) override;
    void warning(QWidget *parent, const QString &title, const QString &text) override;
};

// `openfile`: one file dialog for "öffnen" and "speichern" that offers the name chosen last in
// either command as the initial name. No filter, title or default extension.
class CommonDialog
{
public:
    explicit CommonDialog(UserDialogs &dialogs) : m_dialogs(dialogs) {}

    void ShowOpen(QWidget *parent, const UserDialogs::Chosen &chosen)
    {
        m_dialogs.openFileName(parent, FileName, remembering(chosen));
    }
    void ShowSave(QWidget *parent, const UserDialogs::Chosen &chosen)
    {
        m_dialogs.saveFileName(parent, FileName, remembering(chosen));
    }

    // The name chosen last; a cancelled dialog keeps it.
    QString FileName;

private:
    UserDialogs::Chosen remembering(const UserDialogs::Chosen &chosen)
    {
        return [this, chosen](const QString &path) {
            if (!path.isEmpty())
                FileName = path;
            chosen(path);
        };
    }

    UserDialogs &m_dialogs;
};

} // namespace configurator
