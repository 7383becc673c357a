#include "devicelink/ui/LogListMenu.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStyle>
#include <QToolTip>

namespace devicelink {

namespace {

// The list wraps at blanks: a line is cut only where a word is wider than the row.
bool isCut(const QListWidget &list, const QListWidgetItem &item)
{
    const int margin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
    const int width = list.visualItemRect(&item).width() - 2 * margin;
    const QRect needed =
        list.fontMetrics().boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, item.text());
    return needed.width() > width;
}

} // namespace

LogListMenu *LogListMenu::attach(QListWidget *list)
{
    return new LogListMenu(list);
}

LogListMenu::LogListMenu(QListWidget *list) : QObject(list), m_list(list)
{
    // A wrapped row grows downwards; a width change lays the rows out again.
    m_list->setWordWrap(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setAccessibleName(QStringLiteral("Log"));
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
    menu->addAction(QStringLiteral("Alles &kopieren"), this, &LogListMenu::copyAll);
    menu->addAction(QStringLiteral("Log &speichern…"), this, &LogListMenu::askWhereToSave);
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

bool LogListMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != m_list->viewport())
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QListWidgetItem *item = m_list->itemAt(help->pos());
    if (item && isCut(*m_list, *item))
        QToolTip::showText(help->globalPos(), item->text(), m_list->viewport(),
                           m_list->visualItemRect(item));
    else
        QToolTip::hideText();
    return true;
}

} // namespace devicelink
