#!/usr/bin/env python3
"""Times `vorbel-cli chat` against a chat server played on 127.0.0.1.

The server streams one reply of 4,000 pieces, once making 100 KB and once
1 MB, as fast as the socket takes it; the time of a whole `chat` run is what
a user waits. When the cost of saving a piece does not grow with the reply,
the 1 MB run takes little longer than the 100 KB one.

    bench/cli_chat_bench.py [--runs 3] [--pieces 4000] CLI [CLI...]

Every run gets folders of its own (XDG_DATA_HOME, XDG_CONFIG_HOME) and keeps
its key in the settings file, never in the user's keyring or store. The CLIs
given take turns within each round, so that a busy machine weighs on all of
them alike. Prints the median of each CLI and size and the 1 MB / 100 KB ratio.
"""

import argparse
import json
import os
import statistics
import subprocess
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SIZES = {"100 KB": 100_000, "1 MB": 1_000_000}


def event(delta, finish=None):
    body = {"id": "bench", "object": "chat.completion.chunk", "created": 1, "model": "gpt-3.5-turbo",
            "choices": [{"index": 0, "delta": delta, "finish_reason": finish}]}
    return b"data: " + json.dumps(body, separators=(",", ":")).encode() + b"\n\n"


def reply_body(pieces, total):
    """`pieces` word-like pieces of about total / pieces characters each."""
    size = max(1, total // pieces)
    word = ("lorem ipsum dolor sit amet " * (size // 27 + 1))[:size - 1] + " "
    return b"".join(event({"content": word}) for _ in range(pieces)) + event({}, "stop") + b"data: [DONE]\n\n"


class ChatServer(BaseHTTPRequestHandler):
    body = b""

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if not self.path.endswith("/chat/completions"):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/event-stream")
        self.send_header("Content-Length", str(len(ChatServer.body)))
        self.end_headers()
        self.wfile.write(ChatServer.body)

    def do_GET(self):
        self.send_error(404)  # no model list: the built-in context lengths apply

    def log_message(self, *args):
        pass


def run_cli(cli, server_url, arguments, home):
    environment = dict(os.environ, XDG_DATA_HOME=os.path.join(home, "data"),
                       XDG_CONFIG_HOME=os.path.join(home, "config"), VORBEL_SECRET_STORE="file",
                       VORBEL_OPENAI_URL=server_url, QT_QPA_PLATFORM="offscreen")
    environment.pop("VORBEL_CATALOGUE_URL", None)
    return subprocess.run([cli] + arguments, env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          check=False, timeout=600)


def time_chat(cli, server_url):
    with tempfile.TemporaryDirectory() as home:
        for setup in (["settings", "set", "apiKey", "sk-bench"],
                      ["assistants", "add", "--name", "Bench", "--personality", "You help.", "--picture",
                       "https://example.com/b.png"]):
            if run_cli(cli, server_url, setup, home).returncode != 0:
                raise SystemExit(f"{cli}: {' '.join(setup[:2])} failed")
        start = time.perf_counter()
        done = run_cli(cli, server_url, ["chat", "--assistant", "Bench", "Write", "a", "long", "file"], home)
        elapsed = time.perf_counter() - start
        if done.returncode != 0:
            raise SystemExit(f"{cli}: chat failed: {done.stderr.decode(errors='replace')}")
        return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--pieces", type=int, default=4000)
    parser.add_argument("clis", nargs="+")
    options = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", 0), ChatServer)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}"
    times = {(cli, size): [] for cli in options.clis for size in SIZES}
    try:
        for size, total in SIZES.items():
            ChatServer.body = reply_body(options.pieces, total)
            for _ in range(options.runs):
                for cli in options.clis:
                    times[(cli, size)].append(time_chat(cli, url))
    finally:
        server.shutdown()

    for cli in options.clis:
        medians = {size: statistics.median(times[(cli, size)]) for size in SIZES}
        runs = "  ".join(f"{size}: {medians[size]:.2f} s ({', '.join(f'{t:.2f}' for t in times[(cli, size)])})"
                         for size in SIZES)
        print(f"{cli}\n  {runs}\n  1 MB / 100 KB: {medians['1 MB'] / medians['100 KB']:.2f}x")


if __name__ == "__main__":
    main()
