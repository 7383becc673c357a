#include "flasher/ui/Form2.h"

#include <QLabel>

namespace flasher {

Form2::Form2(QWidget *parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("CHANGELOG"));
    setFixedSize(935, 676);
    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->setGeometry(8, 10, 915, 661);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
}

} // namespace flasher
