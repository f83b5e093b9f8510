# Two entry points on a fresh Debian machine: `make demo` and `make test`.
# Both install the Debian packages they need when missing (as root), or
# print the one apt-get command to run.

PKGS := cmake g++ make libgtest-dev libgmock-dev libcgal-dev libgmp-dev libmpfr-dev libboost-dev libbenchmark-dev libpng-dev \
        python3-dev pybind11-dev python3-numpy python3-pytest python3-distributed
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps test sanitize tsan demo bench format clean fuzz fuzz-build fuzz-ci

deps:
	@missing=""; \
	for p in $(PKGS); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Run: sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

test: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)
	cd build && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DKROMESH_SANITIZE=ON
	cmake --build build-san -j $(JOBS)
	cd build-san && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -E 'Install\.'

# Cuts in several threads at once under the thread sanitizer.
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DKROMESH_TSAN=ON -DKROMESH_BUILD_TOOLS=OFF
	cmake --build build-tsan -j $(JOBS) --target test_threads
	TSAN_OPTIONS=halt_on_error=1 ./build-tsan/tests/test_threads

demo: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS) --target tricut
	./build/tools/tricut/tricut demo --out demo-out

# BENCH_LIMIT: wall seconds each benchmark case may run before it is stopped.
BENCH_LIMIT ?= 90

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKROMESH_BUILD_BENCH=ON -DKROMESH_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/bench_obbt
	build-bench/bench/bench_side
	@st=0; \
	build-bench/bench/bench_boolean --time-limit $(BENCH_LIMIT) || st=1; echo; \
	build-bench/bench/bench_cut --time-limit $(BENCH_LIMIT) || st=1; exit $$st

# Fuzzing (clang, libFuzzer): `make fuzz SECONDS=60` runs every target that
# long, growing build-fuzz/corpus from the seeds; `make fuzz-ci` runs each
# for 30 s on the committed seeds with the cut facade held to its safety
# properties (KROMESH_FUZZ_STRICT=0). Failing inputs land in
# build-fuzz/artifacts/.
FUZZ_TARGETS := obj ply stl off tsurf facade queries
SECONDS ?= 60
FUZZ_FLAGS = -seed=1 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1

fuzz-build:
	@$(MAKE) --no-print-directory deps PKGS="clang libclang-rt-14-dev"
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKROMESH_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz: fuzz-build
	@fail=""; mkdir -p build-fuzz/artifacts; \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  build-fuzz/tests/fuzz/fuzz_$$t $(FUZZ_FLAGS) -max_total_time=$(SECONDS) \
	    -artifact_prefix=build-fuzz/artifacts/$$t- build-fuzz/corpus/$$t tests/fuzz/corpus/$$t \
	    || fail="$$fail $$t"; \
	done; \
	if [ -n "$$fail" ]; then echo "fuzz findings in:$$fail (see build-fuzz/artifacts)"; exit 1; fi

fuzz-ci: fuzz-build
	@fail=""; mkdir -p build-fuzz/artifacts; \
	for t in $(FUZZ_TARGETS); do \
	  rm -rf build-fuzz/ci-corpus/$$t; mkdir -p build-fuzz/ci-corpus/$$t; \
	  KROMESH_FUZZ_STRICT=0 build-fuzz/tests/fuzz/fuzz_$$t $(FUZZ_FLAGS) -max_total_time=30 \
	    -artifact_prefix=build-fuzz/artifacts/$$t- build-fuzz/ci-corpus/$$t tests/fuzz/corpus/$$t \
	    || fail="$$fail $$t"; \
	done; \
	if [ -n "$$fail" ]; then echo "fuzz findings in:$$fail (see build-fuzz/artifacts)"; exit 1; fi

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build build-san build-tsan build-bench build-fuzz
