// vorbel-sse: prints what an event stream reports, as JSON lines.
//
//   vorbel-sse [--chunk N] < stream.txt        parse standard input
//   vorbel-sse [options] URL                   connect with EventSource
//     -X METHOD   -d BODY   -H "Name: value"   (repeatable)   --once   --verbose
//
// Events print as {"event":TYPE,"data":DATA,"id":LASTEVENTID}, comments as
// {"comment":TEXT}; for a URL also {"open":true}, {"closed":true} and {"error":TEXT}.
// --once ends the run after the first close or error instead of reconnecting;
// --verbose shows the stream's log on standard error. A line, or an event's data, longer
// than 16 MiB ends the stream with an error (for standard input, exit status 1).

#include "JsonLinePrinter.h"

#include "eventsource/EventParser.h"
#include "eventsource/EventSource.h"
#include "eventsource/Utf8LineParser.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QNetworkProxyFactory>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

const char usageLine[] =
    "usage: vorbel-sse [--chunk N] [-X METHOD] [-d BODY] [-H 'Name: value']... [--once] [--verbose] [URL]\n";

int usage()
{
    std::fputs(usageLine, stderr);
    std::fputs("  Without URL the stream is read from standard input; see vorbel-sse --help.\n", stderr);
    return 2;
}

int help()
{
    std::fputs(usageLine, stdout);
    std::fputs("\n"
               "Prints what an event stream hands its handler, one JSON line each:\n"
               "  {\"event\":TYPE,\"data\":DATA,\"id\":LASTEVENTID}   an event\n"
               "  {\"comment\":TEXT}                             a comment line\n"
               "and for a URL also {\"open\":true}, {\"closed\":true} and {\"error\":TEXT}.\n"
               "\n"
               "  --chunk N          read standard input N bytes at a time\n"
               "  -X METHOD          request method (default GET)\n"
               "  -d BODY            request body\n"
               "  -H 'Name: value'   request header, repeatable\n"
               "  --once             end after the first close or error instead of reconnecting\n"
               "  --verbose          the stream's log on standard error\n"
               "  -h, --help         show this text\n"
               "\n"
               "A line, or an event's data, longer than 16 MiB ends the stream with an error.\n"
               "http_proxy, https_proxy and no_proxy are followed.\n"
               "Exit status: 0 done, 1 a read failed or a limit was hit, 2 invalid arguments.\n",
               stdout);
    return 0;
}

int parseStandardInput(qsizetype chunkSize)
{
    JsonLinePrinter printer(stdout);
    Utf8LineParser lines;
    EventParser events(&printer, QByteArray(), 1.0);
    std::vector<char> buffer(size_t(chunkSize > 0 ? chunkSize : 64 * 1024));
    for (;;) {
        // read() hands over what has arrived, so a live pipe is printed as it comes.
        const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            printer.flush();
            std::perror("vorbel-sse: reading standard input");
            return 1;
        }
        if (got == 0) {
            printer.flush();
            return 0;
        }
        lines.append(QByteArrayView(buffer.data(), qsizetype(got)),
                     [&events](QByteArrayView line) { events.parseLine(line); });
        if (lines.overflowed() || events.overflowed()) {
            printer.printError(EventSourceError::limitExceeded(lines.overflowed() ? EventSourceError::Limit::Line
                                                                                  : EventSourceError::Limit::EventData,
                                                               kDefaultStreamLimitBytes));
            return 1;
        }
        printer.flush();
    }
}

} // namespace

int main(int argc, char** argv)
{
    qsizetype chunkSize = 0;
    bool once = false;
    bool verbose = false;
    QByteArray method = "GET";
    std::optional<QByteArray> body;
    HeaderMap headers;
    QString url;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            return help();
        if (std::strcmp(arg, "--chunk") == 0 && hasValue) {
            chunkSize = QByteArray(argv[++i]).toLongLong();
            if (chunkSize <= 0)
                return usage();
        } else if (std::strcmp(arg, "-X") == 0 && hasValue) {
            method = argv[++i];
        } else if (std::strcmp(arg, "-d") == 0 && hasValue) {
            body = QByteArray(argv[++i]);
        } else if (std::strcmp(arg, "-H") == 0 && hasValue) {
            const QByteArray header = argv[++i];
            const qsizetype colon = header.indexOf(':');
            if (colon <= 0)
                return usage();
            headers.insert(header.left(colon).trimmed(), header.mid(colon + 1).trimmed());
        } else if (std::strcmp(arg, "--once") == 0) {
            once = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            verbose = true;
        } else if (arg[0] != '-' && url.isEmpty()) {
            url = QString::fromLocal8Bit(arg);
        } else {
            return usage();
        }
    }

    if (url.isEmpty())
        return parseStandardInput(chunkSize);

    QCoreApplication app(argc, argv);
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (!verbose)
        QLoggingCategory::setFilterRules(
            QStringLiteral("vorbel.eventsource.debug=false\nvorbel.eventsource.info=false"));
    const QUrl address(url);
    if (!address.isValid() || (address.scheme() != "http" && address.scheme() != "https")) {
        std::fputs("vorbel-sse: the URL must be http or https\n", stderr);
        return 2;
    }
    JsonLinePrinter printer(stdout);
    printer.flushAfterEachBatch();
    Config config(address);
    config.method = method;
    config.body = body;
    config.headers = headers;
    const auto quitSoon = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    if (once) {
        // A response refused for good (e.g. 204) ends the run too.
        config.connectionErrorHandler = [quitSoon](const EventSourceError& error) {
            const ConnectionErrorAction action = Config::defaultConnectionErrorHandler(error);
            if (action == ConnectionErrorAction::Shutdown)
                quitSoon();
            return action;
        };
    }
    EventSource stream(config);
    const auto end = [&] {
        if (!once)
            return;
        stream.stop();
        quitSoon();
    };
    QObject::connect(&stream, &EventSource::opened, &app, [&] { printer.printOpened(); });
    QObject::connect(&stream, &EventSource::eventReceived, &app, [&](const MessageEvent& e) { printer.onEvent(e); });
    QObject::connect(&stream, &EventSource::commentReceived, &app, [&](const QByteArray& c) { printer.onComment(c); });
    QObject::connect(&stream, &EventSource::failed, &app, [&](const EventSourceError& error) {
        printer.printError(error);
        end();
    });
    QObject::connect(&stream, &EventSource::closed, &app, [&] {
        printer.printClosed();
        end();
    });
    stream.start();
    const int status = app.exec();
    printer.flush();
    return status;
}
