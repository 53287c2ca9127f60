#include "ui/common/ThemePalette.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// WCAG 2 contrast ratio, from the relative luminance of each colour.
double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& color) {
        const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

// Every text colour on every background it is drawn on reaches 4.5:1, in both looks.
TEST(ThemeContrastTest, EveryTextReadsOnItsBackgroundInBothLooks)
{
    const struct {
        const char *text, *background;
    } pairs[] = {
        {"text", "background"},
        {"text", "sidebar"},
        {"text", "assistantMessage"},
        {"text", "codeBackground"},
        {"secondaryText", "background"},
        {"secondaryText", "sidebar"},
        {"secondaryText", "assistantMessage"},
        {"secondaryText", "codeBackground"},
        {"onAccent", "ownMessage"},
        {"onAccent", "accent"},
        {"link", "background"},
        {"link", "sidebar"},
        {"link", "assistantMessage"},
        {"link", "codeBackground"},
        {"error", "background"},
        {"error", "sidebar"},
        {"onError", "error"},
    };
    const QPalette original = QGuiApplication::palette();
    for (const bool dark : {false, true}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, dark ? Qt::black : Qt::white);
        QGuiApplication::setPalette(palette);
        ThemePalette theme;
        ASSERT_EQ(theme.dark(), dark);
        for (const auto& pair : pairs)
            EXPECT_GE(
                contrast(theme.property(pair.text).value<QColor>(), theme.property(pair.background).value<QColor>()),
                4.5)
                << (dark ? "dark " : "light ") << pair.text << " on " << pair.background;
    }
    QGuiApplication::setPalette(original);
}
