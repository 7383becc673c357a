#pragma once

#include <QString>
#include <functional>

namespace devicelink {

// How a device operation talks back to whoever runs it (a window or the batch mode).
// Every member may be left empty.
struct LinkHooks
{
    enum class LineStyle
    {
        Scrolled, // through Add_Item: the list scrolls to the line and pending events run
        Listed    // appended to the list only
    };

    std::function<void(const QString &line, LineStyle style)> log;
    std::function<void()> pump;               // lets the window process pending events
    std::function<void(int percent)> percent; // at the start of each block, 0..100
    std::function<void()> entryAnswer;        // the bootloader answered the entry character
    std::function<bool()> cancelled;          // the window is closing: stop at the next poll

    // Appends a log line, scrolls to it and lets pending events run.
    void Add_Item(const QString &line) const
    {
        if (log)
            log(line, LineStyle::Scrolled);
        pumpEvents();
    }
    // Appends a log line without scrolling and without running events.
    void listLine(const QString &line) const
    {
        if (log)
            log(line, LineStyle::Listed);
    }
    void pumpEvents() const
    {
        if (pump)
            pump();
    }
    bool isCancelled() const { return cancelled && cancelled(); }
};

} // namespace devicelink
