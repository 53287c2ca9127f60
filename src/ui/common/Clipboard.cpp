#include "ui/common/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void Clipboard::copy(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}
