#pragma once

#include <QString>

class QQuickWindow;
class VorbelApplication;

// Grabs the main window in each state worth reviewing, against a local server
// playing the OpenAI service: the welcome cover (idle, rejected, and at the
// smallest size), the new-conversation form, a conversation with bubbles and
// an error notice (also with a larger system font), a streaming reply, and the
// function-call block awaiting confirmation, running, stopped, answered and
// folded; a tool server's call; the Regenerate button, the editing bar, the
// sidebar with titles, the rename editor and a search with its hits. File
// names end in `suffix`. Returns false
// when a picture could not be made.
bool writeMainWindowScreenshots(VorbelApplication& app, const QString& outDir, const QString& suffix);

// Saves the window once pictures and animations have settled; prints the path.
bool grabWindow(QQuickWindow* window, const QString& path);
