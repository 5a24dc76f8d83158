# Thin wrapper around CMake for the README's commands.
JOBS ?= $(shell nproc)
TEST_DIR := build/test
PLAY_DIR := build/release
PACKAGE_DIR := build/package
PREFIX ?= /usr/local
WINDOWS_DIR := build/windows
WINDOWS_TEST_DIR := build/windows-test
WINDOWS_CMAKE := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DGLIMRA_SQLITE_DIR=$(CURDIR)/build/sqlite-windows \
  -DGLIMRA_VTERM_DIR=$(CURDIR)/build/vterm-windows

.PHONY: all deps test play install package fuzz format clean windows-deps windows test-windows

all: deps
	cmake -S . -B $(PLAY_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_TESTS=OFF
	cmake --build $(PLAY_DIR) -j $(JOBS)

# Installs the Debian packages the build and the tests need (only those missing).
deps:
	@bash tools/install-deps

# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DGLIMRA_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

# Builds, prepares run/ (database, art, configuration) and starts a local game in this terminal.
play: all
	bash tools/prepare-run $(PLAY_DIR) run
	cd run && ../$(PLAY_DIR)/bbsglimra -L

# Builds and installs the door, glimra-makedb and their data under PREFIX: bin/, share/glimra/
# (schema, word lists, art) and share/doc/glimra/. DESTDIR=... stages the tree elsewhere.
install: all
	DESTDIR="$(DESTDIR)" cmake --install $(PLAY_DIR) --prefix "$(PREFIX)"

# Builds the Debian package $(PACKAGE_DIR)/glimra_<version>_<architecture>.deb: optimised,
# stripped, installing under /usr.
package: deps
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack -G DEB

# Builds the fuzzers with clang and the sanitizers and runs each for FUZZ_SECONDS, keeping what
# they learn in build/fuzz/corpus/<fuzzer> and any crashing input in build/fuzz/.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DGLIMRA_SANITIZE=ON -DGLIMRA_FUZZ=ON
	cmake --build build/fuzz -j $(JOBS) --target $$(cd tests/fuzz && ls *.cpp | sed 's/\.cpp$$//')
	for f in $$(cd tests/fuzz && ls *.cpp | sed 's/\.cpp$$//'); do \
	  mkdir -p build/fuzz/corpus/$$f && \
	  build/fuzz/tests/$$f build/fuzz/corpus/$$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=1024 \
	    -artifact_prefix=build/fuzz/ -print_final_stats=1 || exit 1; done

# Installs what the Windows build and its tests need (mingw-w64, Wine, zip, tclsh), when missing,
# and makes the SQLite amalgamation and the tests' libvterm sources from Debian's source packages
# (cached in build/sqlite-windows and build/vterm-windows).
windows-deps:
	@bash tools/install-windows-deps
	@bash tools/windows-sqlite build/sqlite-windows
	@bash tools/windows-vterm build/vterm-windows

# Cross-builds bbsglimra.exe, glimra-makedb.exe and ansiview.exe for Windows x64 (static, no
# DLLs) and packs them with the art, the word lists, the schema, a ready database, a sample
# bbsglimra.cfg and the Windows install page into $(WINDOWS_DIR)/glimra-<version>-win64.zip.
windows: windows-deps
	cmake -S . -B $(WINDOWS_DIR) $(WINDOWS_CMAKE) -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target bbsglimra makedb ansiview
	bash tools/windows-zip $(WINDOWS_DIR)

# Cross-builds the unit tests of door/ and game/ (all but the POSIX layer's) and the Windows
# end-to-end tests, and runs them under Wine through CTest with one Wine server kept for the
# whole run (tools/wine-ctest).
test-windows: windows-deps
	cmake -S . -B $(WINDOWS_TEST_DIR) $(WINDOWS_CMAKE) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(WINDOWS_TEST_DIR) -j $(JOBS)
	bash tools/wine-ctest $(WINDOWS_TEST_DIR) --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
