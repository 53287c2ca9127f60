#include "chat/ChatLog.h"

Q_LOGGING_CATEGORY(lcChat, "vorbel.chat")
