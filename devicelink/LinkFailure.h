#pragma once

#include "devicelink/SerialPort.h"

#include <optional>

namespace devicelink {

// Why a device operation stopped on the link: the same words for every operation.
enum class LinkFailure
{
    NoPort,      // no usable COM number: nothing opened
    OpenFailed,  // the port could not be opened; the outcome keeps the kind
    PortLost,    // the port failed while in use
    Cancelled,   // the window closed
    NoReset,     // no entry answer in 600 passes: "Reset nicht erkannt!"
    NoHandshake, // no NAK after the entry answer: the log ends at "Controllerreset empfangen"
    Abandoned    // eleven NAKs, or a block left unanswered: CAN and "Retry error!"
};

// How a device operation ended: its own result, or the link failure that stopped it.
template <typename Result> class LinkOutcome
{
public:
    // A job that never got to run counts as cancelled.
    LinkOutcome() : LinkOutcome(LinkFailure::Cancelled) {}
    LinkOutcome(Result result) : m_result(result) {}
    LinkOutcome(LinkFailure failure, SerialPort::OpenError openError = SerialPort::OpenError::None)
        : m_failure(failure), m_openError(openError)
    {}

    std::optional<Result> result() const { return m_result; }
    std::optional<LinkFailure> failure() const { return m_failure; }
    // Why the port could not be opened (OpenFailed only).
    SerialPort::OpenError openError() const { return m_openError; }

    bool operator==(const LinkOutcome &) const = default;
    bool operator==(Result result) const { return m_result == result; }
    bool operator==(LinkFailure failure) const { return m_failure == failure; }

private:
    std::optional<Result> m_result;
    std::optional<LinkFailure> m_failure;
    SerialPort::OpenError m_openError = SerialPort::OpenError::None;
};

} // namespace devicelink
