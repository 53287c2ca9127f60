// vorbel-sse: prints the handler calls of an event stream as JSON lines.
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
#include "eventsource/UTF8LineParser.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

int usage()
{
    std::fputs("usage: vorbel-sse [--chunk N] [-X METHOD] [-d BODY] [-H 'Name: value']... [--once] [--verbose] [URL]\n"
               "  Without URL the stream is read from standard input.\n",
               stderr);
    return 2;
}

int parseStandardInput(qsizetype chunkSize)
{
    auto printer = std::make_shared<JsonLinePrinter>(stdout);
    UTF8LineParser lines;
    EventParser events(printer.get(), QByteArray(), 1.0);
    std::vector<char> buffer(size_t(chunkSize > 0 ? chunkSize : 64 * 1024));
    for (;;) {
        // read() hands over what has arrived, so a live pipe is printed as it comes.
        const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            printer->flush();
            std::perror("vorbel-sse: reading standard input");
            return 1;
        }
        if (got == 0) {
            printer->flush();
            return 0;
        }
        lines.append(QByteArrayView(buffer.data(), qsizetype(got)),
                     [&events](QByteArrayView line) { events.parseLine(line); });
        if (lines.overflowed() || events.overflowed()) {
            printer->onError(std::make_shared<StreamLimitError>(
                lines.overflowed() ? StreamLimitError::Part::line : StreamLimitError::Part::eventData,
                kDefaultStreamLimitBytes));
            return 1;
        }
        printer->flush();
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
    if (!verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("vorbel.eventsource.debug=false\nvorbel.eventsource.info=false"));
    const QUrl address(url);
    if (!address.isValid() || (address.scheme() != "http" && address.scheme() != "https")) {
        std::fputs("vorbel-sse: the URL must be http or https\n", stderr);
        return 2;
    }
    auto printer = std::make_shared<JsonLinePrinter>(stdout);
    printer->flushAfterEachBatch();
    Config config(printer, address);
    config.method = method;
    config.body = body;
    config.headers = headers;
    EventSource stream(config);
    if (once) {
        printer->afterEnd = [&stream] {
            stream.stop();
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        };
        // A response refused for good (e.g. 204) ends the run too.
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&stream] {
            if (stream.readyState() == ReadyState::shutdown)
                QCoreApplication::quit();
        });
        poll->start(50);
    }
    stream.start();
    const int status = app.exec();
    printer->flush();
    return status;
}
