#pragma once

#include <QLoggingCategory>

namespace flasher {

// Developer messages of the online update, off unless QT_LOGGING_RULES="iveva.update.debug=true"
// asks for them.
Q_DECLARE_LOGGING_CATEGORY(updateLog)

} // namespace flasher
