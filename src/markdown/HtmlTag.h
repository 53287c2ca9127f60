#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Markdown {

// The tag of an inline HTML fragment such as "<br>" or "</span>".
struct HtmlTag {
    std::string name; // as written; the inline renderer lower-cases it

    // The first tag in `html`; none when it holds no tag.
    static std::optional<HtmlTag> fromInlineHtml(std::string_view html);

    bool operator==(const HtmlTag&) const = default;
};

} // namespace Markdown
