# Front end for the CMake presets. `make test` is what CI runs.
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps build demo run test test-default test-asan bench format clean install uninstall

all: build

deps:
	tools/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test-default: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test: test-default test-asan

bench: build
	build/default/bench/engine_bench
	build/default/bench/x11_typing_bench

# The main job end to end with a simulated scanner; no hardware, no desktop needed.
demo: deps build
	tools/demo

# DESTDIR is honoured too (staged installs); give uninstall the same one.
# Starts the program from the build; its settings file lives beside it (a portable copy).
run: build
	build/default/src/app/reradav

install: build
	cmake --install build/default --prefix $(PREFIX)

uninstall:
	tools/uninstall build/default/install_manifest.txt

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
