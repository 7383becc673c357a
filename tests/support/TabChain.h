#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

// The controls that Tab reaches in `window`, in their order, by objectName; those a screen
// reader would find no name for go to `unnamed` as well.
inline QStringList tabChain(QWidget *window, QStringList *unnamed)
{
    QStringList chain;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(window) || w->window() != window)
            continue;
        chain.append(w->objectName());
        const QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(w);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed->append(w->objectName());
    }
    return chain;
}
