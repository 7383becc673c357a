#include "flasher/ui/ChangelogWindow.h"

#include <QLabel>

namespace flasher {

ChangelogWindow::ChangelogWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("CHANGELOG"));
    setFixedSize(935, 676);
    m_text = new QLabel(QStringLiteral("Label1"), this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setGeometry(8, 10, 915, 661);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setWordWrap(true);
}

} // namespace flasher
