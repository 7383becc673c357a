#include "devicelink/ui/LogListMenu.h"

#include "devicelink/WireTrace.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QToolTip>

namespace devicelink {

namespace {
std::shared_ptr<WireTrace> &programTrace()
{
    static std::shared_ptr<WireTrace> trace;
    return trace;
}
} // namespace

LogListMenu *LogListMenu::attach(QListWidget *list)
{
    return new LogListMenu(list);
}

void LogListMenu::offerWireTrace(std::shared_ptr<WireTrace> trace)
{
    programTrace() = std::move(trace);
}

LogListMenu::LogListMenu(QListWidget *list) : QObject(list), m_list(list)
{
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &LogListMenu::showMenu);
    m_list->viewport()->installEventFilter(this);
}

QStringList LogListMenu::lines() const
{
    QStringList result;
    result.reserve(m_list->count());
    for (int row = 0; row < m_list->count(); ++row)
        result.append(m_list->item(row)->text());
    return result;
}

bool LogListMenu::saveTo(const QString &path, QString *error) const
{
    QString text =
        QStringLiteral("%1 %2, Log vom %3\n")
            .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                 QDateTime::currentDateTime().toString(Qt::ISODate));
    for (const QString &line : lines())
        text += line + QLatin1Char('\n');

    // A failed save leaves an existing file as it was and no half-written one.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(text.toUtf8()) >= 0 &&
        file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

void LogListMenu::showMenu(const QPoint &position)
{
    // popup(), not exec(): the window may close itself (the upload window does) while the
    // menu is open.
    auto *menu = new QMenu(m_list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Alles kopieren"), this, &LogListMenu::copyAll);
    menu->addAction(QStringLiteral("Log speichern…"), this, &LogListMenu::askWhereToSave);
    if (const std::shared_ptr<WireTrace> &trace = programTrace()) {
        QAction *traceEntry = menu->addAction(QStringLiteral("Verbindung protokollieren"), this,
                                              &LogListMenu::switchTrace);
        traceEntry->setCheckable(true);
        traceEntry->setChecked(trace->enabled());
    }
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

void LogListMenu::copyAll() const
{
    QGuiApplication::clipboard()->setText(lines().join(QLatin1Char('\n')));
}

void LogListMenu::askWhereToSave()
{
    const QString proposed = QDir::home().filePath(
        QStringLiteral("%1-log.txt").arg(QCoreApplication::applicationName()));
    auto *dialog = new QFileDialog(m_list->window(), QStringLiteral("Log speichern"), proposed,
                                   QStringLiteral("Textdateien (*.txt);;Alle Dateien (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        QString error;
        if (saveTo(path, &error))
            return;
        auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Log speichern"),
                                    QStringLiteral("Das Log konnte nicht nach \"%1\" "
                                                   "gespeichert werden: %2")
                                        .arg(QDir::toNativeSeparators(path), error),
                                    QMessageBox::Ok, m_list->window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}

void LogListMenu::switchTrace(bool on)
{
    WireTrace &trace = *programTrace();
    const QString path = QDir::toNativeSeparators(trace.target());
    if (!on) {
        trace.setEnabled(false);
        addLine(QStringLiteral("Verbindungsprotokoll beendet: ") + path);
        return;
    }
    // Said now, in the log, rather than found missing later.
    QDir().mkpath(QFileInfo(trace.target()).absolutePath());
    QFile file(trace.target());
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        addLine(QStringLiteral("Verbindungsprotokoll nicht möglich: %1 (%2)")
                    .arg(path, file.errorString()));
        return;
    }
    trace.setEnabled(true);
    addLine(QStringLiteral("Verbindung wird protokolliert in ") + path);
}

void LogListMenu::addLine(const QString &line)
{
    m_list->addItem(line);
    m_list->scrollToBottom();
}

bool LogListMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != m_list->viewport())
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QListWidgetItem *item = m_list->itemAt(help->pos());
    const QRect shown = item ? m_list->visualItemRect(item) : QRect();
    if (item && m_list->fontMetrics().horizontalAdvance(item->text()) > shown.width())
        QToolTip::showText(help->globalPos(), item->text(), m_list->viewport(), shown);
    else
        QToolTip::hideText();
    return true;
}

} // namespace devicelink
