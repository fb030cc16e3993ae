# Quillo: the two everyday commands are `make run` and `make test`.
SHELL := /bin/bash
# Both install any missing Debian packages first.

JOBS        ?= $(shell nproc)
BUILD       ?= build
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
XVFB        = xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all deps build run test sanitize fuzz bench e2e install clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The program keeps its settings, address books, help page and sound in its
# working directory; build/run is that directory for `make run`.
run: build
	@mkdir -p $(BUILD)/run
	@cp -n data/quillo.html data/activity.wav $(BUILD)/run/ 2>/dev/null || true
	cd $(BUILD)/run && ../quillo

test: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS)

# The wx-free library and its tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the threading and chat tests under
# ThreadSanitizer.
sanitize: deps
	cmake -S . -B build-asan -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DQUILLO_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B build-tsan -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DQUILLO_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && setarch -R ctest --output-on-failure -j $(JOBS) -L threads

# libFuzzer targets, each run for FUZZ_SECONDS.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DBUILD_TESTING=OFF -DQUILLO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS)
	@set -e; for f in build-fuzz/tests/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  mkdir -p build-fuzz/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	      -print_final_stats=1 build-fuzz/corpus/$$(basename $$f) 2>&1 | tail -n 15; \
	  test $${PIPESTATUS[0]} -eq 0; \
	done

bench: build
	@set -e; for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && (cd $(BUILD) && $(XVFB) ../$$b); done

e2e: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -L e2e

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
