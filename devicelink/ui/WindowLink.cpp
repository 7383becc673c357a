#include "devicelink/ui/WindowLink.h"

#include <QDialog>
#include <QListWidget>
#include <QWidget>

namespace devicelink {

WindowLink::WindowLink(QWidget *window, QListWidget *logList)
    : QObject(window), m_window(window), m_logList(logList), m_jobs(new devicelink::JobRunner(this))
{
    connect(m_jobs, &devicelink::JobRunner::lines, this, &WindowLink::appendLines);
    connect(m_jobs, &devicelink::JobRunner::cancelling, this, [this] {
        for (const QPointer<QDialog> &dialog : std::as_const(m_questions)) {
            if (dialog)
                dialog->deleteLater();
        }
        m_questions.clear();
    });
    connect(m_jobs, &devicelink::JobRunner::finished, this, &WindowLink::jobFinished);
}

void WindowLink::refuse() const
{
    listLine(QStringLiteral("Der Comport ist belegt: ein Vorgang läuft noch"));
}

QVariant WindowLink::ask(const std::function<void(const devicelink::JobRunner::Answer &)> &show,
                         const QVariant &fallback)
{
    return m_jobs->ask(show, fallback);
}

void WindowLink::openQuestion(QDialog *dialog)
{
    m_questions.removeAll(nullptr);
    m_questions.append(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void WindowLink::appendLines(const QList<devicelink::JobRunner::LogLine> &batch) const
{
    if (!m_logList || batch.isEmpty())
        return;
    QStringList texts;
    texts.reserve(batch.size());
    qsizetype lastScrolled = -1;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        texts.append(batch[i].text);
        if (batch[i].scrolled)
            lastScrolled = i;
    }
    const int first = m_logList->count();
    m_logList->addItems(texts);
    if (lastScrolled < 0)
        return;
    // The list ends as if each line had come alone: the last scrolled line is the current one
    // and at the bottom of the view; lines listed after it do not move the view.
    const int row = first + int(lastScrolled);
    m_logList->setCurrentRow(row);
    m_logList->scrollToItem(m_logList->item(row), QAbstractItemView::PositionAtBottom);
    m_logList->clearSelection();
}

void WindowLink::listLine(const QString &line) const
{
    if (m_logList)
        m_logList->addItem(line);
}

bool WindowLink::mayClose()
{
    if (!m_jobs->busy())
        return true;
    m_closeRequested = true;
    m_jobs->cancel();
    return false;
}

void WindowLink::jobFinished()
{
    if (m_closeRequested) {
        if (m_window && m_window->isVisible())
            m_window->close();
        return;
    }
    emit idle();
}
} // namespace devicelink
