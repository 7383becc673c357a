#pragma once

#include <QLoggingCategory>

namespace devicelink {

// Developer messages of the device link, off unless QT_LOGGING_RULES="iveva.link.debug=true" asks
// for them.
Q_DECLARE_LOGGING_CATEGORY(linkLog)

} // namespace devicelink
