# SPDX-License-Identifier: GPL-3.0-or-later
# Every target installs what is missing first, then builds with CMake.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: all deps build run test test-unit test-asan fuzz bench screenshot package clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@bash scripts/test.sh $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

bench: build
	@bash scripts/bench.sh $(BUILD)

# The Debian package, $(BUILD)/qob-tandrix_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# The picture in the README: the editor as it starts, on the offscreen platform.
screenshot: build
	mkdir -p docs
	QT_QPA_PLATFORM=offscreen $(BUILD)/qob-editor --screenshot docs/screenshot.png
	$(BUILD)/qob sheet resources/Default.QOB --layer midi -o docs/sheet.png

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
