# Velmora: `make run` installs what is missing, builds, forges the data and
# starts the show; `make test` does the same set-up and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps test-deps configure build run test clean web serve-web

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

# The show as a web page: a static folder build-web/ (platform/web).
web:
	scripts/install-deps --web
	$(MAKE) build
	platform/web/build-web $(BUILD) build-web

serve-web:
	@[ -f build-web/index.html ] || $(MAKE) web
	python3 -m http.server 8080 --bind 127.0.0.1 --directory build-web

clean:
	rm -rf $(BUILD) build-web
