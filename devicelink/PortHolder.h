#pragma once

#include <QString>
#include <optional>

namespace devicelink {

// The program that keeps a busy port, as far as the system shows it.
struct PortHolder
{
    QString name; // the process's own name, e.g. "minicom"
    qint64 pid = 0;
    // False: nobody shows the device among their open files, but ModemManager runs, which opens
    // every new USB adapter for a while to probe it for a modem.
    bool certain = true;
};

// Looks through /proc (or `procRoot`) for a process that has `device` open: the user's own
// processes, or all of them for root. Otherwise names a running ModemManager as the likely
// holder (every process's name is readable by all). Nothing where there is no /proc.
std::optional<PortHolder> FindPortHolder(const QString &device,
                                         const QString &procRoot = QStringLiteral("/proc"));

// What follows "belegt" for a busy port: " von minicom (PID 812)",
// " – möglicherweise von ModemManager (PID 640)" or " (von einem anderen Programm geöffnet)".
QString BusyDetail(const std::optional<PortHolder> &holder);

// How to keep ModemManager away from the adapter, for a "Hinweis: " line.
QString ModemManagerHint(const QString &vidPid);

} // namespace devicelink
