#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

// Owner-only files and folders for what Vorbel keeps about its user (API keys,
// every conversation). A symbolic link in place of one of them is never
// followed nor changed: it is left as it is and logged.
namespace PrivateFiles {

// Creates `folder` and every missing folder above it. The folders from
// `ownFolder` down to `folder` are Vorbel's own: created 0700, or stripped of
// group and other access when they exist. Folders above `ownFolder` (or all of
// them when it is empty) are created with the usual mode and never changed.
bool makeFolders(const QString& folder, const QString& ownFolder);

// Creates an empty file 0600 when none exists, else tightens the existing one
// (a folder in its place is left alone).
bool makeFile(const QString& path);

// Takes group and other access off an existing file or folder; a missing one
// is fine. Returns false when the path is a link, not owned or not changeable.
bool tighten(const QString& path);

// Replaces `path` with `data` all at once, readable by the user alone: the
// bytes go to a new owner-only file beside it, which then takes its name. On
// failure (the Error says why) nothing half-written is left.
Result<void> writeAtomically(const QString& path, const QByteArray& data);

} // namespace PrivateFiles
