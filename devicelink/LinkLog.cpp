#include "devicelink/LinkLog.h"

namespace devicelink {

Q_LOGGING_CATEGORY(linkLog, "iveva.link", QtInfoMsg)

} // namespace devicelink
