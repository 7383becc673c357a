#include "devicelink/ui/LogListMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHash>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QStyledItemDelegate>
#include <QTextLayout>

namespace devicelink {

namespace {

// Space around a line's text, as the style leaves it in a list.
constexpr int TextMargin = 3;

// Lays `layout` out within `width`: at blanks, and anywhere in a word wider than the row (a
// long path), so that no line is ever cut. Returns the height it takes.
qreal wrapWithin(QTextLayout &layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

// Draws each line wrapped within the list's width, in a row as high as its wrapped text. The
// measure and the drawing share one layout, so a row is never too short for its text.
class WrappingDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingDelegate(QListWidget *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // Every line added lays the whole list out again: a long upload logs tens of thousands
        // of lines, most of them alike, so each text is measured once per width.
        const int width = m_list->viewport()->width();
        if (width != m_measuredWidth) {
            m_heights.clear();
            m_measuredWidth = width;
        }
        const QString text = index.data().toString();
        auto height = m_heights.constFind(text);
        if (height == m_heights.cend()) {
            QTextLayout layout(text, option.font);
            height = m_heights.insert(text, qCeil(wrapWithin(layout, width - 2 * TextMargin)) +
                                                2 * TextMargin);
        }
        return QSize(width, *height);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        // The style draws the row (background, selection, focus), the text is ours.
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        row.text.clear();
        const QWidget *view = option.widget;
        (view ? view->style() : QApplication::style())
            ->drawControl(QStyle::CE_ItemViewItem, &row, painter, view);

        QTextLayout layout(index.data().toString(), option.font);
        wrapWithin(layout, option.rect.width() - 2 * TextMargin);
        painter->save();
        painter->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        layout.draw(painter, option.rect.topLeft() + QPointF(TextMargin, TextMargin));
        painter->restore();
    }

private:
    QListWidget *m_list;
    // The row heights for the list's width; its font stays as it is.
    mutable QHash<QString, int> m_heights;
    mutable int m_measuredWidth = -1;
};

} // namespace

LogListMenu *LogListMenu::attach(QListWidget *list)
{
    return new LogListMenu(list);
}

LogListMenu::LogListMenu(QListWidget *list) : QObject(list), m_list(list)
{
    // A long line wraps and its row grows downwards. The rows keep the width they were wrapped
    // for: the vertical scroll bar is always there, so a growing log never narrows them.
    m_list->setItemDelegate(new WrappingDelegate(m_list));
    m_list->setWordWrap(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setAccessibleName(QStringLiteral("Log"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &LogListMenu::showMenu);
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

} // namespace devicelink
