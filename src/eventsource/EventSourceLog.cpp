#include "eventsource/EventSourceLog.h"

Q_LOGGING_CATEGORY(lcEventSource, "vorbel.eventsource")
