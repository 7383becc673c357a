#include "configurator/core/ConfigLog.h"

namespace configurator {

Q_LOGGING_CATEGORY(configLog, "iveva.config", QtInfoMsg)

} // namespace configurator
