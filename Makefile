# `make test`, `make demo` and `make package` do all set-up themselves on a
# fresh Debian 12 machine: install what is missing, configure, build, run.
BUILD := build
CMAKE_FLAGS := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
# Windows tests need a display: Xvfb for the run, and the persistent
# wineserver is stopped before the display goes away.
IN_DISPLAY := xvfb-run -a -s "-screen 0 1024x768x24"
WINE_ENV := WINEPREFIX=$(CURDIR)/$(BUILD)/wineprefix

.PHONY: all build deps configure test demo bench soak package clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

test: build
	$(IN_DISPLAY) sh -c 'ctest --test-dir $(BUILD) --output-on-failure; rc=$$?; $(WINE_ENV) wineserver -k; exit $$rc'

demo: build
	$(IN_DISPLAY) sh -c '$(BUILD)/wine-run $(BUILD)/bin/DemoHost.exe; rc=$$?; $(WINE_ENV) wineserver -k; exit $$rc'

# Speed and cost against baselines measured in the same run: one table, and
# build/bench.json.
bench: build
	$(IN_DISPLAY) sh -c '$(BUILD)/wine-run $(BUILD)/bin/PelcatoBench.exe; rc=$$?; $(WINE_ENV) wineserver -k; exit $$rc'

# The long forms of the stress tests: ten thousand Start/Stop cycles, three
# hundred dialogs, ten thousand malformed files. Every figure is printed.
soak: build
	$(IN_DISPLAY) sh -c 'export PELCATO_SOAK=full; $(BUILD)/wine-run $(BUILD)/bin/soak_tests.exe && $(BUILD)/wine-run $(BUILD)/bin/config_tests.exe --gtest_filter="MalformedFiles.*"; rc=$$?; $(WINE_ENV) wineserver -k; exit $$rc'

# The installer and the zip, in $(BUILD)/package/.
package: configure
	cmake --build $(BUILD) --target pelcato_package
	@ls -l $(BUILD)/package/Pelcato-*-setup.exe $(BUILD)/package/Pelcato-*.zip

clean:
	rm -rf $(BUILD)
