#pragma once

#include <QList>
#include <QRect>

class QWidget;

namespace configurator {

// The windows are laid out in twips (1/1440 inch, 15 to a pixel at 96 dpi): every position
// and size below is a twip value, turned into pixels here.
namespace FormLayout {

constexpr int TwipsPerPixel = 15;

constexpr int px(int twips)
{
    return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// A control with a caption (label, check box, frame) and the room its caption may take, all in
// twips in its parent's coordinates. A width or height of 0 takes the control's own size; a
// caption wider than `width` may grow up to `maxRight`.
struct Caption
{
    QWidget *control;
    int left, top, width, height;
    int maxRight;
};

// Gives the window the largest font, up to the size of the classic 8-point dialog font at 96
// dpi, with which every caption fits its room (narrower widths of the family are tried before
// smaller sizes), then places the captions. Fonts differ from system to system; a caption is
// never cut.
void fitCaptions(QWidget *window, const QList<Caption> &captions);

} // namespace FormLayout

} // namespace configurator
