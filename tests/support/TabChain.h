#pragma once

#include <QAccessible>
#include <QWidget>

// The objectNames of the controls that Tab reaches in `window`, in order; a "?" marks one that a
// screen reader finds no name for.
inline QStringList tabChain(QWidget *window)
{
    QStringList chain;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(window) || w->window() != window)
            continue;
        const bool named =
            !QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty();
        chain << w->objectName() + (named ? "" : "?");
    }
    return chain;
}
