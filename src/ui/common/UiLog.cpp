#include "ui/common/UiLog.h"

Q_LOGGING_CATEGORY(lcUi, "vorbel.ui")
