# The two commands a newcomer needs: `make run` and `make test`. Each installs what is missing first.
JOBS ?= 2
SAMPLE ?= examples/tour.cvmx
CMAKE_COMMON = -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: run test bench fuzz memcheck build-release build-test bootstrap clean format

bootstrap:
	@scripts/bootstrap

build-release: bootstrap
	@cmake -S . -B build/release $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/release -j $(JOBS)

build-test: bootstrap
	@cmake -S . -B build/test $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DCV_SANITIZE=ON -DCV_WERROR=ON >/dev/null
	@cmake --build build/test -j $(JOBS)

run: build-release
	@# the window comes with the viewer; until then the sample is drawn to a picture
	build/release/src/app/corvella-viewer --export-png build/sample.png $(SAMPLE)
	@echo "The sample map is drawn in $(CURDIR)/build/sample.png"

test: build-test
	cd build/test && ctest --output-on-failure -j $(JOBS)

bench: build-release
	build/release/bench/cv-bench

# Every fuzz target for FUZZ_SECONDS (default 60) each, two at a time; see scripts/fuzz.
fuzz:
	@scripts/bootstrap fuzz
	scripts/fuzz

# The whole test suite under valgrind; see scripts/memcheck.
memcheck:
	@scripts/bootstrap memcheck
	scripts/memcheck

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
