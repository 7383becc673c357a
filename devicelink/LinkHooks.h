#pragma once

#include <QString>
#include <functional>

namespace devicelink {

// How a device operation talks back to whoever runs it (a window's job or the batch mode).
// Every member may be left empty.
struct LinkHooks
{
    enum class LineStyle
    {
        Scrolled, // through Add_Item: the list scrolls to the line
        Listed,   // appended to the list only
        Hint      // an explanation after a failure, "Hinweis: ...": scrolled to
    };

    std::function<void(const QString &line, LineStyle style)> log;
    std::function<void(int percent)> percent; // at the start of each block, 0..100
    std::function<void()> entryAnswer;        // the bootloader answered the entry character
    std::function<bool()> cancelled;          // the window is closing: stop at the next poll

    // Appends a log line and scrolls to it.
    void Add_Item(const QString &line) const
    {
        if (log)
            log(line, LineStyle::Scrolled);
    }
    // Appends a log line without scrolling.
    void listLine(const QString &line) const
    {
        if (log)
            log(line, LineStyle::Listed);
    }
    // Appends "Hinweis: " and the explanation, scrolled to.
    void hint(const QString &text) const
    {
        if (log)
            log(QStringLiteral("Hinweis: ") + text, LineStyle::Hint);
    }
    bool isCancelled() const { return cancelled && cancelled(); }
};

} // namespace devicelink
