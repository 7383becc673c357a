#include "flasher/update/UpdateLog.h"

namespace flasher {

Q_LOGGING_CATEGORY(updateLog, "iveva.update", QtInfoMsg)

} // namespace flasher
