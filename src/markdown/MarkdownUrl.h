#pragma once

#include <QUrl>

#include <optional>
#include <string_view>

namespace Markdown {

// Turns a link destination or image source, kept in the model as written, into
// a URL: parsed relative to `base` when there is one, on its own otherwise.
// None when the text is empty or not a valid URL (the link is then inert).
std::optional<QUrl> resolveUrl(std::string_view written, const std::optional<QUrl>& base = std::nullopt);

} // namespace Markdown
