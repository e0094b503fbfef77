# Thin wrapper around CMake: `make run` and `make test` are all a fresh machine needs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
# Scenarios and most unit tests wait on the program's timers rather than compute, so more of
# them run at once than there are cores.
TEST_JOBS  ?= $(shell echo $$(( $$(nproc) * 3 )))
# Seconds per fuzz target in `make test`; `make fuzz` runs longer.
FUZZ_SECONDS ?= 6

.PHONY: all deps build build-asan test test-quick test-release test-checked run fuzz bench format clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

# One clang tree for the checked runs: the unit tests under ASan+UBSan and the libFuzzer
# targets share its instrumented core.
build-asan: deps
	@CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DMAVLYN_SANITIZE=ON -DMAVLYN_FUZZ=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS) --target unit_tests fuzzers

# Everything: unit, GUI and whole-program tests of the release build; beside them, at a lower
# priority so that the scenarios' timers keep their pace, the checked tree is built, its unit
# tests run under the sanitizers and each fuzz target for FUZZ_SECONDS.
test: build
	@$(MAKE) --no-print-directory -j2 test-release test-checked

test-release:
	@cd $(BUILD) && ctest --output-on-failure -j$(TEST_JOBS)

test-checked:
	@nice -n 10 $(MAKE) --no-print-directory build-asan
	@cd $(ASAN_BUILD) && nice -n 10 ctest --output-on-failure -j$(TEST_JOBS) -L '^unit$$'
	@FUZZ_BUILD=$(ASAN_BUILD) FUZZ_SECONDS=$(FUZZ_SECONDS) nice -n 10 bash scripts/run-fuzzers

# The unit tests alone, for everyday work.
test-quick: build
	@cd $(BUILD) && ctest --output-on-failure -j$(TEST_JOBS) -L 'unit|modemsim'

run: build
	@bash scripts/demo-run $(BUILD)/mavlyn

fuzz: build-asan
	@FUZZ_BUILD=$(ASAN_BUILD) bash scripts/run-fuzzers

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done
	@bash bench/session_bench.sh $(BUILD)
	@bash bench/idle_bench.sh $(BUILD)

format:
	@find src tests tools fuzz bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
