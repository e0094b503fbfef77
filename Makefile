# Thin wrapper around CMake: `make run` and `make test` are all a fresh machine needs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: all deps build build-asan test unit-test asan-test run fuzz bench format clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMAVLYN_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)

# Unit and whole-program tests, the unit tests again under ASan+UBSan, a short fuzz run.
test: build build-asan
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -L unit
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-15} bash scripts/run-fuzzers
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

run: build
	@bash scripts/demo-run $(BUILD)/mavlyn

fuzz: deps
	@bash scripts/run-fuzzers

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done
	@bash bench/session_bench.sh $(BUILD)

format:
	@find src tests tools fuzz bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD)
