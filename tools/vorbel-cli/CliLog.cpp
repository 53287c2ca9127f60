#include "vorbel-cli/CliLog.h"

Q_LOGGING_CATEGORY(lcCli, "vorbel.cli")
