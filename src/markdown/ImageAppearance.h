#pragma once

#include <QUrl>

namespace Markdown {

enum class ColorScheme { Light, Dark, Unknown };

// Whether an image is shown under `scheme`. GitHub-style READMEs mark images
// meant for one appearance with a "#gh-dark-mode-only" or "#gh-light-mode-only"
// fragment; every other image is always shown.
bool isImageShown(const QUrl& url, ColorScheme scheme);

} // namespace Markdown
