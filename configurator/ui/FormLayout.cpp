#include "configurator/ui/FormLayout.h"

#include <QFont>
#include <QGroupBox>
#include <QWidget>

namespace configurator {

namespace FormLayout {

namespace {

int neededWidth(const QWidget *control)
{
    return qMax(control->sizeHint().width(), control->minimumSizeHint().width());
}

bool fits(const Caption &caption)
{
    return neededWidth(caption.control) <= px(caption.maxRight) - px(caption.left);
}

void place(const Caption &c)
{
    // A frame keeps its place and size; only its title has to fit.
    if (qobject_cast<QGroupBox *>(c.control)) {
        c.control->setGeometry(rect(c.left, c.top, c.width, c.height));
        return;
    }
    const int width = qMax(px(c.width), neededWidth(c.control));
    const int height = qMax(px(c.height), c.control->minimumSizeHint().height());
    c.control->setGeometry(px(c.left), px(c.top), width, height);
}

} // namespace

void fitCaptions(QWidget *window, const QList<Caption> &captions)
{
    QFont font = window->font();
    const int stretches[] = {QFont::Unstretched, QFont::SemiCondensed, QFont::Condensed};
    bool done = false;
    for (int size = 11; size >= 8 && !done; --size) {
        for (int stretch : stretches) {
            font.setPixelSize(size);
            font.setStretch(stretch);
            window->setFont(font);
            done = std::all_of(captions.begin(), captions.end(), fits);
            if (done)
                break;
        }
    }
    for (const Caption &caption : captions)
        place(caption);
}

} // namespace FormLayout

} // namespace configurator
