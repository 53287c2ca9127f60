# The two commands of the README: `make run` and `make test`.
PACKAGES := build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools \
            qt6-declarative-dev libgl-dev libsqlite3-dev \
            libcmark-gfm-dev libcmark-gfm-extensions-dev \
            qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts \
            qml6-module-qtquick-window qml6-module-qtquick-templates \
            qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript qml6-module-qt-labs-qmlmodels libqt6svg6 \
            libgtest-dev libgmock-dev libbenchmark-dev \
            qtkeychain-qt6-dev gnome-keyring dbus dbus-x11 librsvg2-bin \
            desktop-file-utils appstream dpkg-dev file \
            clang-format clang-tidy qt6-declarative-dev-tools
JOBS ?= 2
# `make install PREFIX=... DESTDIR=...` and `make package` use the release tree.
PREFIX ?= /usr/local
DESTDIR ?=
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test bench deps build build-test clean screenshots install package format tidy

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVORBEL_BUILD_TESTS=OFF
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/vorbel

# Root rights only for a system folder, not for a staging DESTDIR.
install: build
	$(if $(DESTDIR),,$(SUDO)) env DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A .deb in $(BUILD)/: sudo apt install ./$(BUILD)/vorbel_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

build-test: deps
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DVORBEL_SANITIZE=ON
	cmake --build build-test -j$(JOBS)

test: build-test
	@tmp=$$(mktemp -d); \
	QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$$tmp/config XDG_DATA_HOME=$$tmp/data \
	  ctest --test-dir build-test --output-on-failure -j$(JOBS); \
	status=$$?; rm -rf $$tmp; exit $$status

# Pictures of the main window, light and dark, into build/screenshots/.
screenshots: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORBEL_BUILD_TESTS=OFF
	cmake --build build -j$(JOBS) --target vorbel-screenshots
	./build/tools/vorbel-screenshots/vorbel-screenshots build/screenshots light
	./build/tools/vorbel-screenshots/vorbel-screenshots build/screenshots dark

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVORBEL_BUILD_TESTS=OFF -DVORBEL_BUILD_BENCH=ON
	cmake --build build-bench -j$(JOBS)

# Lays out every .cpp and .h as .clang-format says; `make test` checks it.
format: deps
	find src tools tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format -i

# clang-tidy with .clang-tidy over our sources, on the test tree's compile
# database (built first, for the generated Qt sources); it should report nothing.
tidy: build-test
	run-clang-tidy -p build-test -j$(JOBS) -quiet '$(CURDIR)/(src|tools|tests|bench)/'

clean:
	rm -rf build build-test build-bench
