# Quillo: the two everyday commands are `make run` and `make test`.
SHELL := /bin/bash
# Both install any missing Debian packages first.

JOBS        ?= $(shell nproc)
BUILD       ?= build
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
# Arguments for `make run`, e.g. ARGS="- /path/to/quillo.ini".
ARGS        ?=
XVFB        = xvfb-run -a -s "-screen 0 1280x1024x24"
# The sanitizer and fuzzing trees sit beside the main one.
ASAN_BUILD  ?= $(BUILD)-asan
TSAN_BUILD  ?= $(BUILD)-tsan
FUZZ_BUILD  ?= $(BUILD)-fuzz
# ThreadSanitizer cannot place its shadow memory when the kernel randomises
# addresses with many bits (newer kernels); run it without randomisation
# wherever the kernel lets a process ask for that.
TSAN_RUN    := $(shell setarch -R true >/dev/null 2>&1 && echo setarch -R)

.PHONY: all deps build program run test sanitize fuzz bench e2e install clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Only the program and what it links, not the tests.
program: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target quillo

# The program keeps its settings, address books, help page and sound in its
# working directory; build/run is that directory for `make run`.
run: program
	@mkdir -p $(BUILD)/run
	@cp -u data/quillo.html data/activity.wav $(BUILD)/run/ 2>/dev/null || true
	cd $(BUILD)/run && ../quillo $(ARGS)

# Every test has a timeout and those meant to run alone are RUN_SERIAL; the
# check reads what ctest itself reports, before anything runs.
test: build
	/usr/bin/python3 scripts/check_tests.py $(BUILD)
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -j $(JOBS)

# The wx-free library and its tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the threading and chat tests under
# ThreadSanitizer.
sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DQUILLO_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(TSAN_BUILD) -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DQUILLO_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && $(TSAN_RUN) ctest --output-on-failure -j $(JOBS) -L threads

# libFuzzer targets, each run for FUZZ_SECONDS.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DQUILLO_GUI=OFF -DQUILLO_BENCH=OFF \
	      -DBUILD_TESTING=OFF -DQUILLO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e; found=0; for f in $(FUZZ_BUILD)/tests/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; found=1; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	      -artifact_prefix=$(FUZZ_BUILD)/ -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$(basename $$f) 2>&1 | tail -n 15; \
	  test $${PIPESTATUS[0]} -eq 0; \
	done; [ $$found -eq 1 ] || echo "No fuzz targets yet."

bench: build
	@set -e; for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && (cd $(BUILD) && $(XVFB) ../$$b); done

e2e: build
	cd $(BUILD) && $(XVFB) ctest --output-on-failure -L e2e

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
