# The README's two commands: `make demo` and `make test`. Both install what is
# missing first (apt packages, the cross-built Berkeley DB, the Wine prefix).
BUILD ?= build
WIN := $(BUILD)/win
NATIVE := $(BUILD)/native
JOBS ?= $(shell nproc)
# `make fuzz`: seconds per harness.
SECONDS ?= 60

.PHONY: all setup build test demo run bench fuzz mutants clean

all: build

setup:
	@scripts/setup.sh

$(WIN)/CMakeCache.txt:
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release

build: setup $(WIN)/CMakeCache.txt $(NATIVE)/CMakeCache.txt
	cmake --build $(WIN) -j $(JOBS)
	cmake --build $(NATIVE) -j $(JOBS)

test: build
	@scripts/run-tests.sh $(BUILD)

demo: build
	@scripts/demo.sh $(BUILD)

# The display is checked before anything is built. `make run LANGUAGE=1033`:
# the clients in English; only a LANGUAGE given here counts, not gettext's.
run:
	@scripts/run.sh --check-display
	@$(MAKE) --no-print-directory build
	@scripts/run.sh $(BUILD) $(if $(filter command line,$(origin LANGUAGE)),$(LANGUAGE),2052)

bench: build
	@scripts/bench.sh $(BUILD)

# Every harness in turn, with libFuzzer; prints executions, coverage and
# crashes per harness.
fuzz: setup
	@JOBS=$(JOBS) fuzz/run.sh $(BUILD) $(SECONDS)

# The faults of scripts/mutants.tsv one at a time in a copy of the committed
# tree (in $(BUILD)/mutants): which test catches each. MUTANTS="id ..." for some.
mutants: setup
	@JOBS=$(JOBS) scripts/mutants.sh $(BUILD) $(MUTANTS)

clean:
	rm -rf $(BUILD)
