#pragma once

#include "extensions/CustomExtension.h"

#include <optional>

// The "memoryFunction" extension: long-term memory as embedding vectors in the
// user's Pinecone index.
CustomExtension makeMemoryExtension();

// Each runs on the calling (worker) thread. Service failures are answered with
// texts; absent or undecodable arguments throw.
QString executeUpsertMemory(const std::optional<QString>& arguments);
QString executeGetMemory(const std::optional<QString>& arguments);
QString executeDeleteMemory(const std::optional<QString>& arguments);
QString executeResetMemories(const std::optional<QString>& arguments);
