#include "core/UntrustedText.h"

#include <gtest/gtest.h>

using UntrustedText::Escape;

TEST(UntrustedText, HiddenCharactersBecomeVisibleEscapes)
{
    struct Case {
        QString text;
        Escape what;
        QString shown;
    };
    const QString bidiOverride(QChar(0x202E));
    const QString c1(QChar(0x9B));
    const Case cases[] = {
        {"ls -la", Escape::EverythingHidden, "ls -la"},
        {"a\tb", Escape::EverythingHidden, "a\tb"},
        {"a\nb\rc", Escape::EverythingHidden, "a\\u000ab\\u000dc"},
        {"\x1b[2J" + c1 + "x\x7f", Escape::EverythingHidden, "\\u001b[2J\\u009bx\\u007f"},
        {"rm " + bidiOverride + "txt.sh", Escape::EverythingHidden, "rm \\u202etxt.sh"},
        {QString(QChar(0x2066)) + QChar(0x200B) + QChar(0xFEFF), Escape::EverythingHidden, "\\u2066\\u200b\\ufeff"},
        {"Grüße 日本", Escape::EverythingHidden, "Grüße 日本"},
        // A terminal keeps its lines and tabs, and right-to-left text as written.
        {"a\nb\tc\r", Escape::TerminalControls, "a\nb\tc\\u000d"},
        {"\x1b]0;title\x07" + c1, Escape::TerminalControls, "\\u001b]0;title\\u0007\\u009b"},
        {"x" + bidiOverride, Escape::TerminalControls, "x" + bidiOverride},
        {"a\nb\r" + bidiOverride, Escape::EverythingHiddenButLineFeeds, "a\nb\\u000d\\u202e"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UntrustedText::escaped(c.text, c.what), c.shown) << c.shown.toStdString();
}

TEST(UntrustedText, FenceOutrunsEveryBackquoteRun)
{
    const std::pair<QString, QString> cases[] = {
        {"plain", "```"},
        {"a `b` c", "```"},
        {"```", "````"},
        {"x``````y ``", "```````"},
    };
    for (const auto& [content, fence] : cases)
        EXPECT_EQ(UntrustedText::fenceFor(content), fence) << content.toStdString();
}
