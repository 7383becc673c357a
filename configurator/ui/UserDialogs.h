#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace configurator {

// The file dialogs and message boxes of the configurator's windows. The windows reach them only
// through this interface, so the tests can answer them without a user.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // The chosen path, or an empty string when the user cancels.
    virtual QString openFileName(QWidget *parent, const QString &initialName) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &initialName) = 0;
    // A message box with an OK button only; returns once the user has closed it.
    virtual void information(QWidget *parent, const QString &title, const QString &text) = 0;
    // The same box shown without waiting: `closed` runs once the user has closed it. A box
    // whose parent goes away goes with it, and `closed` does not run.
    virtual void showInformation(QWidget *parent, const QString &title, const QString &text,
                                 const std::function<void()> &closed)
    {
        information(parent, title, text);
        closed();
    }
    virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The platform's standard dialogs.
class StandardDialogs : public UserDialogs
{
public:
    QString openFileName(QWidget *parent, const QString &initialName) override;
    QString saveFileName(QWidget *parent, const QString &initialName) override;
    void information(QWidget *parent, const QString &title, const QString &text) override;
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

    QString ShowOpen(QWidget *parent) { return remember(m_dialogs.openFileName(parent, FileName)); }
    QString ShowSave(QWidget *parent) { return remember(m_dialogs.saveFileName(parent, FileName)); }

    // The name chosen last; a cancelled dialog keeps it.
    QString FileName;

private:
    QString remember(const QString &chosen)
    {
        if (!chosen.isEmpty())
            FileName = chosen;
        return chosen;
    }

    UserDialogs &m_dialogs;
};

} // namespace configurator
