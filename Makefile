# Entry points: `make run` and `make test` work on a fresh machine.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build run test test-sanitize test-tsan bench clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOB_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

run: build
	@for f in examples/*.pas; do echo "== $$f"; build/tools/tresk/tresk run $$f || exit 1; done

test: build
	cd build && ctest -j $(JOBS) --output-on-failure

test-sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQOB_WERROR=ON -DQOB_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ctest -j $(JOBS) --output-on-failure

# The threading tests under ThreadSanitizer (label "threads").
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQOB_WERROR=ON -DQOB_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target threads_tests
	cd build-tsan && ctest -j $(JOBS) --output-on-failure -L threads

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQOB_BENCH=ON $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	bench/run

clean:
	rm -rf build build-sanitize build-tsan build-bench
