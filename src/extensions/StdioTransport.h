#pragma once

#include "eventsource/Utf8LineParser.h"
#include "extensions/ToolServerTransport.h"

#include <QList>
#include <QPair>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

// A server run as a child process in a process group of its own, in the home
// folder, with one message per line on its standard input and output.
class StdioTransport : public ToolServerTransport {
    Q_OBJECT
public:
    StdioTransport(QString command, QStringList args, const QProcessEnvironment& environment,
                   QObject* parent = nullptr);
    ~StdioTransport() override;

    void open() override;
    void send(const QJsonObject& message) override;
    void close() override;

    // Ends the process group at once and waits a moment for it (at exit).
    static void endAllNow();

private:
    void readOutput();
    void readErrors();

    QString m_command;
    QStringList m_args;
    QProcessEnvironment m_environment;
    QProcess* m_process = nullptr;
    Utf8LineParser m_output{maxToolServerMessageBytes};
    Utf8LineParser m_errors{4096};
};
