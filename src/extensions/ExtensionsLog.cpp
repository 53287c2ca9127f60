#include "extensions/ExtensionsLog.h"

Q_LOGGING_CATEGORY(lcExtensions, "vorbel.extensions")
