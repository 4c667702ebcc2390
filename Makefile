# Velmora: `make run` installs what is missing, builds, forges the data and
# starts the show; `make test` does the same set-up and runs every test.
# `make golden` rewrites the golden frame files (tests/golden) from the current
# show.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps test-deps configure build run test golden clean

all: build

deps:
	scripts/install-deps

test-deps:
	scripts/install-deps --test

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps
	$(MAKE) build
	cd $(BUILD) && ./velmora

test: test-deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

golden: test-deps
	$(MAKE) build
	cd $(BUILD) && VELMORA_WRITE_GOLDEN=1 ctest --output-on-failure -j $(JOBS) -R '^ShowRuns[.]'

clean:
	rm -rf $(BUILD)
