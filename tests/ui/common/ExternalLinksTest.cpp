#include "ui/common/ExternalLinks.h"

#include <gtest/gtest.h>

// A model may write links: only web pages and mail drafts without added recipients or attachments leave.
TEST(ExternalLinks, OnlyWebAndMailAddressesOpenAndMailKeepsSubjectAndBody)
{
    const QList<QPair<QString, QString>> cases{
        {"https://example.com/a?b=c#d", "https://example.com/a?b=c#d"},
        {"mailto:me@example.com?subject=Hi%20there&cc=x@evil.test&body=a%26b&bcc=y@evil.test",
         "mailto:me@example.com?subject=Hi%20there&body=a%26b"},
        {"mailto:me@example.com?SUBJECT=Hi&%63c=x@evil.test&attach=/etc/passwd&to=z@evil.test#frag",
         "mailto:me@example.com?SUBJECT=Hi"},
        {"mailto:me@example.com?attach=~/.ssh/id_rsa", "mailto:me@example.com"},
        {"mailto:?body=x", ""},
        {"file:///etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"https:///no-host", ""},
    };
    for (const auto& [address, opened] : cases) {
        const std::optional<QUrl> url = ExternalLinks::openableUrl(address);
        EXPECT_EQ(url ? url->toString(QUrl::FullyEncoded) : QString(), opened) << address.toStdString();
    }
}
