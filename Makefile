# Velmora: `make run` installs what is missing, builds, forges the data and
# starts the show; `make test` does the same set-up and runs every test.
# `make golden` rewrites the golden frame files (tests/golden) from the current
# show; `make fuzz` runs the readers' fuzzers long (FUZZ_RUNS executions each).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_RUNS ?= 10000000

.PHONY: all deps test-deps configure build run test golden fuzz clean

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

fuzz: test-deps
	$(MAKE) build
	cmake -DFUZZ_RUNS=$(FUZZ_RUNS) $(BUILD) > /dev/null
	cmake --build $(BUILD) --target fuzz

clean:
	rm -rf $(BUILD)
