# `make test`, `make demo` and `make package` do all set-up themselves on a
# fresh Debian 12 machine: install what is missing, configure, build, run.
#
# Two builds of the same sources: build/ is the product, 32-bit, and
# build-x64/ a 64-bit test build for machines that cannot execute 32-bit
# code. test, demo, bench and soak first ask scripts/run-suite which of them
# runs here; the targets it picks are the ones below, named by architecture.
DIR_x86 := build
DIR_x64 := build-x64
TOOLCHAIN_x86 := $(CURDIR)/cmake/mingw-i686.cmake
TOOLCHAIN_x64 := $(CURDIR)/cmake/mingw-x86_64.cmake
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Release
# Windows programs need a display: Xvfb for the run, and the build's
# persistent wineserver is stopped before the display goes away.
in_display = xvfb-run -a -s "-screen 0 1024x768x24" sh -c '$(2); rc=$$?; \
	WINEPREFIX=$(CURDIR)/$(DIR_$(1))/wineprefix wineserver -k; exit $$rc'

# Only the plain names are phony: make looks for no pattern rule for a phony
# target, and the per-architecture ones come from patterns.
.PHONY: all build deps test demo bench soak package clean check-x86

all: build

build: compile-x86

deps:
	@scripts/install-deps

test demo bench soak:
	@scripts/run-suite $@

configure-%: | deps
	@[ -f $(DIR_$*)/build.ninja ] || cmake -S . -B $(DIR_$*) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN_$*)

compile-%: configure-%
	cmake --build $(DIR_$*)

test-%: compile-%
	$(call in_display,$*,ctest --test-dir $(DIR_$*) --output-on-failure)

# What can be checked of the 32-bit build without running it: the binaries'
# exports, imports, names and versions, and the installer, which the build
# makes.
check-x86: compile-x86
	ctest --test-dir $(DIR_x86) -L no-execution --output-on-failure

demo-%: compile-%
	$(call in_display,$*,$(DIR_$*)/wine-run $(DIR_$*)/bin/DemoHost.exe)

# Speed and cost against baselines measured in the same run: one table, and
# bench.json in the build folder.
bench-%: compile-%
	$(call in_display,$*,$(DIR_$*)/wine-run $(DIR_$*)/bin/PelcatoBench.exe)

# The long forms of the stress tests: ten thousand Start/Stop cycles, three
# hundred dialogs, ten thousand malformed files. Every figure is printed.
soak-%: compile-%
	$(call in_display,$*,export PELCATO_SOAK=full; $(DIR_$*)/wine-run $(DIR_$*)/bin/soak_tests.exe && \
		$(DIR_$*)/wine-run $(DIR_$*)/bin/config_tests.exe --gtest_filter="MalformedFiles.*")

# The installer and the zip, in build/package/: the 32-bit product only.
package: configure-x86
	cmake --build $(DIR_x86) --target pelcato_package
	@ls -l $(DIR_x86)/package/Pelcato-*-setup.exe $(DIR_x86)/package/Pelcato-*.zip

clean:
	rm -rf $(DIR_x86) $(DIR_x64)
