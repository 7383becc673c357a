#pragma once

#include <QLoggingCategory>

namespace configurator {

// Developer messages of the configurator's core, off unless
// QT_LOGGING_RULES="iveva.config.debug=true" asks for them.
Q_DECLARE_LOGGING_CATEGORY(configLog)

} // namespace configurator
