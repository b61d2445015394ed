# Front end for the CMake workflow presets (configure, build, test). `make test` is what CI runs.
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
export CMAKE_BUILD_PARALLEL_LEVEL := $(JOBS)
export CTEST_PARALLEL_LEVEL := $(JOBS)

.PHONY: all deps build demo run test test-default test-asan check bench format clean install uninstall \
	package package-check windows windows-test windows-bench windows-package

all: build

# Every package any job needs; each job below installs only its own.
deps:
	tools/install-deps

build:
	tools/install-deps build
	cmake --preset default
	cmake --build --preset default

test-default:
	tools/install-deps test
	cmake --workflow --preset default

test-asan:
	tools/install-deps test
	cmake --workflow --preset asan

# Formatting and the dependency rule of the rings.
check:
	tools/install-deps test
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')
	tools/check-rings

test: check test-default test-asan

bench: build
	tools/install-deps bench
	build/default/bench/engine_bench
	build/default/bench/x11_typing_bench
	build/default/bench/port_bench
	build/default/bench/wayland_typing_bench

# The main job end to end with a simulated scanner; no hardware, no desktop needed. Builds only
# what it runs: the two programs and the window that records what it receives.
demo:
	tools/install-deps demo
	cmake --preset default
	cmake --build --preset default --target reradav reradav-sim key_target
	tools/demo

# Windows (x86_64): cross-built with mingw-w64 into build/windows/; the programs need only
# Windows' own DLLs.
windows:
	tools/install-deps windows
	cmake --preset windows
	cmake --build --preset windows

# The core's tests and the Win32 adapters' under Wine, with an X server of their own, in a
# fresh Wine prefix; then both programs end to end and the installer.
windows-test: windows-package
	tools/windows-test

# build/windows/reradav-<version>-windows-x64.zip (a portable copy) and
# reradav-<version>-setup-x64.exe (an installer): the programs, the help as Reradav.chm.
windows-package: windows
	tools/install-deps windows-package
	cmake --build --preset windows --target windows-package

# Wine's figures for the headless program: typing rate into an EDIT window, idle processor time.
windows-bench: windows
	tools/windows-test --bench

# Starts the program from the build; its settings file lives beside it (a portable copy).
run: build
	build/default/src/app/reradav

# Installs what `make` built; it never builds, so `sudo make install` leaves no root-owned
# files in the build. DESTDIR is honoured too (staged installs); give uninstall the same one.
install:
	@test -x build/default/src/app/reradav || \
	    { echo "Nothing built yet: run make first, then make install." >&2; exit 1; }
	cmake --install build/default --prefix $(PREFIX)

uninstall:
	tools/uninstall build/default/install_manifest.txt

# build/package/reradav_<version>_<arch>.deb and, where rpmbuild exists, the .rpm.
package:
	tools/install-deps package
	tools/build-package

# lintian, desktop-file-validate, appstreamcli; then installs the .deb, runs it and purges it.
package-check: package build
	tools/check-package

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
