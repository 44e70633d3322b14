# The two commands: `make run` and `make test`. Both install what is missing,
# configure and build in build/.
JOBS        ?= $(shell nproc)
BUILD       ?= build
SAN_BUILD   ?= build-sanitize
LAUNCHER    := $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# CMake's makefiles run make within make: without this every level says which
# directory it enters and leaves.
MAKEFLAGS   += --no-print-directory

FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
# Long mode: FUZZ_RUNS=N runs every target N executions instead of FUZZ_SECONDS.
FUZZ_RUNS   ?=
FUZZ_LIMIT  := $(if $(FUZZ_RUNS),-runs=$(FUZZ_RUNS),-max_total_time=$(FUZZ_SECONDS))
FUZZ_TARGETS = fuzz_pack fuzz_model fuzz_files fuzz_settings fuzz_command_line fuzz_sound fuzz_qxpack \
               fuzz_import_png fuzz_import_model fuzz_model_build fuzz_render fuzz_import_into \
               fuzz_kept_states fuzz_web_add_file

.PHONY: run test checks test-sanitize fuzz fuzz-build fuzz-replay build deps clean format digests install package \
        web web-deps web-run test-web

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(LAUNCHER)

# What is installed: the programs, the content, the icons and the manual page.
build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The tests and benchmarks as well (they are not part of the default build).
checks: build
	cmake --build $(BUILD) -j $(JOBS) --target vorn_checks

# The show alone: the program with its content and the pack tool, no tests.
run: deps $(BUILD)/CMakeCache.txt
	@echo "make run: building vorn and qxpack in $(BUILD)/"
	@bash -o pipefail -c "cmake --build $(BUILD) -j $(JOBS) --target vorn qxpack | sed -u '/Built target/d'"
	@scripts/run-show $(BUILD)

# `make install PREFIX=/usr DESTDIR=/tmp/stage` as usual.
PREFIX      ?= /usr/local

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

test: checks
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Writes tests/show_digests.txt anew from the show as it now draws and sounds.
digests: checks
	VORN_WRITE_DIGESTS=$(CURDIR)/tests/show_digests.txt $(BUILD)/tests/test_show_digests

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON $(LAUNCHER)
	cmake --build $(SAN_BUILD) -j $(JOBS) --target all vorn_checks
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE nosanitize

# The targets that run the show read the built-in content the ordinary
# build makes.
fuzz-build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vorn_content
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DVORN_FUZZ=ON \
	  -DVORN_FUZZ_CONTENT=$(abspath $(BUILD))/content $(LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Each target grows its own working corpus in $(FUZZ_BUILD)/corpus, seeded from
# the committed one; a finding stops the run with the input saved there.
fuzz: fuzz-build
	for t in $(FUZZ_TARGETS); do mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/findings/$$t; \
	  $(FUZZ_BUILD)/fuzz/$$t $(FUZZ_LIMIT) -artifact_prefix=$(abspath $(FUZZ_BUILD))/findings/$$t/ \
	    $(abspath $(FUZZ_BUILD))/corpus/$$t $(CURDIR)/fuzz/corpus/$$t || exit 1; done

# Every committed input once through its target: a fixed fault stays fixed,
# a hang among them (an input that took minutes once) too.
fuzz-replay: fuzz-build
	for t in $(FUZZ_TARGETS); do $(FUZZ_BUILD)/fuzz/$$t -runs=0 -timeout=60 $(CURDIR)/fuzz/corpus/$$t || exit 1; done

# The web page (web/): emscripten and chromium from Debian, libopenmpt built
# once from Debian's source into $(WEB_BUILD)/libopenmpt, the engine and its
# tests with emcmake. emcc needs Debian's node modules and node without fetch.
WEB_BUILD   ?= build-web
WEB_PORT    ?= 8080
WEB_ENV     := NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch CCACHE_BASEDIR=$(CURDIR)/..

web-deps:
	@scripts/install-web-deps

# The page embeds the native build's generated content and shows its icons.
web: web-deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vorn_content vorn_install_files
	@$(WEB_ENV) JOBS=$(JOBS) scripts/build-web-libopenmpt $(WEB_BUILD)
	@test -f $(WEB_BUILD)/CMakeCache.txt || \
	  $(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release $(LAUNCHER) \
	    -DVORN_NATIVE_BUILD=$(abspath $(BUILD))
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

# Serves the page on this machine only, compressed, hashed names cached long.
web-run: web
	@echo "web-run: the page is at http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C ends)"
	python3 web/serve.py $(WEB_BUILD)/page $(WEB_PORT)

# The native module and sound layer are what the web music is checked against.
test-web: web
	cmake --build $(BUILD) -j $(JOBS) --target dump_show_audio vorn
	cd $(WEB_BUILD)/web && ctest --output-on-failure

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
