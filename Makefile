# Top-level entry points. `make test` works on a fresh Debian 12 machine as
# root: it installs what is missing, builds every tree and runs every test.
JOBS ?= 2
MAKEFLAGS += --no-print-directory
BUILD := build
CMAKE_NATIVE := cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
CMAKE_SANITIZE := cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON
CMAKE_WIN32 := cmake -S . -B $(BUILD)/win32 -DCMAKE_BUILD_TYPE=MinSizeRel \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Ships nothing: the Win32 layer's tests and patchtool.exe as 64-bit programs,
# for Wine's 64-bit loader on machines that cannot run 32-bit ones.
CMAKE_WIN64 := cmake -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=MinSizeRel \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
CMAKE_FUZZ := cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUPDATER_FUZZ=ON \
	-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

.PHONY: all build deps native sanitize win32 win64 fuzz-build test demo bench fuzz install package clean

all: build

deps:
	@scripts/install-deps.sh

native: deps
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/native -j$(JOBS)

sanitize: deps
	@$(CMAKE_SANITIZE) >/dev/null
	@cmake --build $(BUILD)/sanitize -j$(JOBS)

win32: deps
	@$(CMAKE_WIN32) >/dev/null
	@cmake --build $(BUILD)/win32 -j$(JOBS)

win64: deps
	@$(CMAKE_WIN64) >/dev/null
	@cmake --build $(BUILD)/win64 -j$(JOBS)

build: native win32

fuzz-build: deps
	@$(CMAKE_FUZZ) >/dev/null
	@cmake --build $(BUILD)/fuzz -j$(JOBS)

# Native build first: the Win32 tree's end-to-end tests make their payloads
# with the native patchtool. The 64-bit tree after the 32-bit one: its
# patchtool.exe builds from the 32-bit updater.exe.
test: native sanitize win32 fuzz-build win64
	@scripts/run-tests.sh

demo: native win32
	@scripts/demo.sh

bench: native win32
	@scripts/bench.sh

fuzz: fuzz-build
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

# patchtool, the bare updater stub it builds from, the man page and the docs.
install: native win32
	@scripts/install.sh $(PREFIX)

# The .deb and the Windows zip in build/packages/; the same commit gives the
# same bytes.
package: native win32
	@scripts/package.sh

clean:
	rm -rf $(BUILD)
