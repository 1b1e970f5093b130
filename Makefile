# make run   - install what is missing, build, and start the viewer
# make test  - install what is missing, build, and run the whole test suite
#              (the plain build and the AddressSanitizer/UBSan build)

.PHONY: run test test-dev test-asan build deps format clean

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

test: test-dev test-asan

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
