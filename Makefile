# make run   - install what is missing, build, and start the viewer
# make test  - install what is missing, build, and run the whole test suite
#              (the plain build, the AddressSanitizer/UBSan build, end-to-end)
# make lint  - formatting and clang-tidy's chosen checks (.clang-tidy) over the tree
# make e2e   - the end-to-end scenarios: the real program on a private X desktop
# make screenshots - the screenshot gallery in build/screenshots/
# make bench - the speed benchmarks, in an optimised build
# make install [PREFIX=/usr/local] - the optimised build, installed (DESTDIR honoured)
# make package - the Debian package of the optimised build, in build/package/
# make e2e-package - installs that package, runs it once, removes it (root only)

.PHONY: bench run test test-dev test-asan build deps format lint clean e2e e2e-build screenshots \
	release install package e2e-package

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev

run: build
	./build/dev/src/quorvel

test-dev: build
	ctest --preset dev

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	ctest --preset asan

# The end-to-end scenarios run the program of the plain build with Debian's Python.
E2E_BINARY := build/dev/src/quorvel
E2E_PYTHON := /usr/bin/python3

e2e-build: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev --target quorvel

e2e: e2e-build
	QUORVEL_BINARY=$(E2E_BINARY) $(E2E_PYTHON) -m pytest tests/e2e

screenshots: e2e-build
	QUORVEL_BINARY=$(E2E_BINARY) $(E2E_PYTHON) tests/e2e/screenshots.py --out build/screenshots

test: test-dev test-asan e2e e2e-package

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target bench_startup bench_click bench_walk bench_slideshow bare_window
	./build/release/bench/bench_startup
	./build/release/bench/bench_click
	./build/release/bench/bench_walk
	./build/release/bench/bench_slideshow

# The installed program and the package come from the optimised build (the one the
# benchmarks use); only the program itself is built there.
PREFIX ?= /usr/local
PACKAGE_DIR := build/package
PACKAGE_FILE := $(PACKAGE_DIR)/quorvel_1.36-1_$(shell dpkg --print-architecture).deb

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target quorvel

install: release
	cmake --install build/release --prefix $(PREFIX)

package: release
	@rm -rf $(PACKAGE_DIR)/_CPack_Packages
	cd build/release && cpack -B $(CURDIR)/$(PACKAGE_DIR)
	@dpkg-deb -f $(PACKAGE_FILE) Package Version Installed-Size Depends

e2e-package: package e2e-build
	QUORVEL_BINARY=$(E2E_BINARY) QUORVEL_PACKAGE=$(PACKAGE_FILE) \
		$(E2E_PYTHON) -m pytest tests/e2e/test_package.py

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# clang-tidy reads the plain build's compile commands.
lint: build
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')
	run-clang-tidy -quiet -j$$(nproc) -p build/dev '$(CURDIR)/src/.*\.cpp' >build/dev/clang-tidy.log 2>&1 \
		|| { grep -E 'warning:|error:' build/dev/clang-tidy.log; exit 1; }

clean:
	rm -rf build
