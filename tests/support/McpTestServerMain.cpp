// The test suite's tool server over stdio. Arguments: --fillers N,
// --page-size N, --fail-start (says why on standard error and exits). Each
// message received is logged on standard error as "received METHOD [id]".

#include "support/McpTestServer.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    McpTestServer server;
    server.fillers = arguments.value(arguments.indexOf("--fillers") + 1).toInt();
    server.pageSize = arguments.value(arguments.indexOf("--page-size") + 1).toInt();
    if (arguments.contains("--fail-start")) {
        std::fprintf(stderr, "cannot start: no token given\n");
        return 2;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        const QJsonObject message = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const QJsonValue cancelled = message["params"]["requestId"];
        std::fprintf(
            stderr, "received %s %s\n", qPrintable(message["method"].toString()),
            qPrintable(QString::number(message.contains("id") ? message["id"].toInteger() : cancelled.toInteger())));
        for (const QJsonObject& answer : server.handle(message))
            std::printf("%s\n", QJsonDocument(answer).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        std::fflush(stderr);
        if (server.crash) {
            std::fprintf(stderr, "crashing on purpose\n");
            return 3;
        }
    }
    return 0;
}
