#pragma once

#include "markdown/InlineNode.h"

#include <QColor>
#include <QString>

// How inline Markdown is drawn as Qt rich text.
struct InlineRichTextStyle {
    QColor textColor = Qt::black;
    QColor linkColor = Qt::blue;
    QColor codeBackground;  // none when invalid
    QString codeFontFamily; // the generic monospace family when empty
    // Leave out http and https images: the caller draws them as image items.
    // Other images always show as their alternative text.
    bool leaveOutWebImages = false;
};

// The inlines of a paragraph, heading or table cell as the HTML subset that
// Qt's rich text understands. Every piece of text is escaped, so markup in a
// reply shows as text; links carry their resolved address as href (an
// unresolvable destination leaves the link text plain). Opening a link is the
// view's job and must go through ExternalLinks.
QString inlineRichText(const Markdown::InlineNodes& nodes, const InlineRichTextStyle& style);

// Whether an image source is one the views load: an absolute http or https URL.
bool isWebImageSource(const std::string& source);
