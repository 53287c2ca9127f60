#include "openai/OpenAiLog.h"

Q_LOGGING_CATEGORY(lcOpenAi, "vorbel.openai")
