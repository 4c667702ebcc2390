# Velmora: `make run` installs what is missing, builds, forges the data and
# starts the show; `make test` does the same set-up and runs every test.
# `make golden` rewrites the golden frame files (tests/golden) from the current
# show; `make fuzz` runs the readers' fuzzers long (FUZZ_RUNS executions each).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
# `make video`: the whole show, ended after one cycle of the end screens (their
# strip scrolls through both end pictures and back to black in 1200 frames).
VIDEO ?= $(BUILD)/velmora.mp4
VIDEO_END_FRAMES ?= 1200

FUZZ_RUNS ?= 10000000

.PHONY: all deps test-deps configure build run test golden fuzz clean install package video web serve-web

all: build

deps:
	scripts/install-deps

test-deps:
	scripts/install-deps --test

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Only the two programs and their data: the first run does not wait for the tests.
run: deps
	@$(MAKE) --no-print-directory configure
	@echo "Building the show (the first time takes a minute or two) ..."
	cmake --build $(BUILD) -j $(JOBS) --target show
	cd $(BUILD) && ./velmora

test: test-deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# The programs, the capture tool, the data, desktop entries and icon under PREFIX.
install: deps
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target shipped
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD): velmora_<version>_<arch>.deb.
package: deps
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target shipped
	cd $(BUILD) && cpack -G DEB

video: deps
	scripts/install-deps --video
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target velmora_capture forge_data
	cd $(BUILD) && ./velmora_capture --video $(abspath $(VIDEO)) --key-after end_screens:$(VIDEO_END_FRAMES)

# The show as a web page: a static folder build-web/ (platform/web).
web: deps
	scripts/install-deps --web
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target forge_data
	platform/web/build-web $(BUILD) build-web

serve-web:
	@[ -f build-web/index.html ] || $(MAKE) web
	python3 -m http.server 8080 --bind 127.0.0.1 --directory build-web

golden: test-deps
	$(MAKE) build
	cd $(BUILD) && VELMORA_WRITE_GOLDEN=1 ctest --output-on-failure -j $(JOBS) -R '^ShowRuns[.]'

fuzz: test-deps
	$(MAKE) build
	cmake -DFUZZ_RUNS=$(FUZZ_RUNS) $(BUILD) > /dev/null
	cmake --build $(BUILD) --target fuzz

clean:
	rm -rf $(BUILD) build-web
