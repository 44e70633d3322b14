# The two commands: `make run` and `make test`. Both install what is missing,
# configure and build in build/.
JOBS        ?= $(shell nproc)
BUILD       ?= build
SAN_BUILD   ?= build-sanitize
LAUNCHER    := $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: run test test-sanitize fuzz build deps clean format install package

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(LAUNCHER)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The show alone: the program with its content and the pack tool, no tests.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vorn qxpack
	@scripts/run-show $(BUILD)

# `make install PREFIX=/usr DESTDIR=/tmp/stage` as usual.
PREFIX      ?= /usr/local

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON $(LAUNCHER)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE nosanitize

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DVORN_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus/fuzz_model $(FUZZ_BUILD)/corpus/fuzz_pack
	-cp $(BUILD)/content/items/*.m3d $(FUZZ_BUILD)/corpus/fuzz_model/ 2>/dev/null
	-cp $(BUILD)/content/demo.qxd $(FUZZ_BUILD)/corpus/fuzz_pack/ 2>/dev/null
	for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus/$$(basename $$f) || exit 1; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
