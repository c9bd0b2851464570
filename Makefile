# SPDX-License-Identifier: GPL-3.0-or-later
# Plotmira: the two everyday commands are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# The generator is chosen when a build folder is first configured, after install-deps has run,
# and never passed again: a folder keeps the generator it was made with.
# A compiler cache, where the machine has one, is used from the first configure on.
configure = cmake -S . -B $(1) $(if $(wildcard $(1)/CMakeCache.txt),,-G "$$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo 'Unix Makefiles')" $$(command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)) $(2)

.PHONY: all deps build run test test-model test-asan bench bench-window format format-check install package clean

all: build

deps:
	@tools/install-deps

build: deps
	$(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTMIRA_WERROR=ON)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	tools/run-demo $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A long model-based run of the main window: PLOTMIRA_MODEL_SEED (default: the clock) and
# PLOTMIRA_MODEL_STEPS (default 20000) choose it; a failure prints the seed and the steps.
test-model: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen \
	    PLOTMIRA_MODEL_SEED=$${PLOTMIRA_MODEL_SEED:-$$(date +%s)} \
	    PLOTMIRA_MODEL_STEPS=$${PLOTMIRA_MODEL_STEPS:-20000} \
	    tests/app/window/test_window --gtest_filter='WindowModel.Random*'

test-asan: deps
	$(call configure,$(ASAN_BUILD),-DCMAKE_BUILD_TYPE=Debug -DPLOTMIRA_SANITIZE=ON -DPLOTMIRA_WERROR=ON -DPLOTMIRA_BENCH=OFF)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

bench: deps
	$(call configure,$(BENCH_BUILD),-DCMAKE_BUILD_TYPE=Release -DPLOTMIRA_WERROR=ON -DPLOTMIRA_TESTS=OFF)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	tools/run-bench $(BENCH_BUILD)

# The real program under Xvfb, fed at fixed line rates; PLOTMIRA_WINDOW_BENCH narrows it, e.g.
# PLOTMIRA_WINDOW_BENCH="--mode trend --rate 100000" make bench-window
bench-window: deps
	$(call configure,$(BENCH_BUILD),-DCMAKE_BUILD_TYPE=Release -DPLOTMIRA_WERROR=ON -DPLOTMIRA_TESTS=OFF)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target plotmira plotmira-window-bench
	xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
	    $(BENCH_BUILD)/bench/plotmira-window-bench --program $(BENCH_BUILD)/app/window/plotmira

install: build
	cmake --install $(BUILD)

# The Debian package plotmira_<version>_<arch>.deb, in the build folder, built as Debian builds
# it (dpkg-buildpackage with debian/) from a clean copy of the sources, then checked: its fields
# and files, lintian (no error, no warning) and hardening-check on the programs.
package: deps
	tools/build-package $(BUILD)
	tests/install/package_test.sh $(BUILD) "$$(dpkg-parsechangelog -S Version)"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
