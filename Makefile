# The two commands a user needs: `make example` and `make test`.
# Both set the machine up first (tools/bootstrap), so they work on a fresh clone.
PYTHON  := $(shell tools/python)
JOBS    ?= $(shell nproc)
RELEASE := build/release
SANITIZE := build/asan
THREADS  := build/tsan
BENCH    := build/bench
PYTEST  := PYTHONPATH=$(CURDIR)/$(RELEASE)/python:/usr/lib/python3/dist-packages \
           $(PYTHON) -m pytest -q -p no:cacheprovider

.PHONY: all bootstrap configure build module example test test-cpp test-python test-sanitize test-threads bench clean

all: build

bootstrap:
	@PYTHON=$(PYTHON) tools/bootstrap

# The benchmarks are switched off explicitly: an older make bench turned them on
# in this folder's cache.
configure: bootstrap
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DTYMBE_WERROR=ON -DTYMBE_BUILD_BENCH=OFF \
	  -DPython3_EXECUTABLE=$(PYTHON) >/dev/null

build: configure
	@cmake --build $(RELEASE) -j $(JOBS) -- --no-print-directory

# The example needs the module only, not the C++ tests and tools.
module: configure
	@cmake --build $(RELEASE) -j $(JOBS) --target tymbe_rs -- --no-print-directory

example: module
	PYTHONPATH=$(CURDIR)/$(RELEASE)/python $(PYTHON) examples/example.py

test: test-sanitize test-threads test-cpp test-python

test-cpp: build
	ctest --test-dir $(RELEASE) --output-on-failure -j $(JOBS)

# The installation test builds the module once more, with as many jobs.
test-python: build
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PYTEST) tests/python

# The C++ tests again under AddressSanitizer and UndefinedBehaviorSanitizer (clang).
test-sanitize: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTYMBE_WERROR=ON -DTYMBE_BUILD_MODULE=OFF -DTYMBE_SANITIZE=address,undefined >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS) -- --no-print-directory
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# The tests of the shared caches and the background workers under ThreadSanitizer.
test-threads: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(THREADS) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTYMBE_WERROR=ON -DTYMBE_BUILD_MODULE=OFF -DTYMBE_SANITIZE=thread >/dev/null
	@cmake --build $(THREADS) -j $(JOBS) --target tymbe_ast_tests -- --no-print-directory
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(THREADS) --output-on-failure -j $(JOBS) \
	  -R '^(ProjectIndex|ParserCache|PoisonMutex|PoisonRwLock)'

# Figures over the interpreter's standard library; nothing is asserted.
STDLIB := $(shell $(PYTHON) -c 'import sysconfig; print(sysconfig.get_paths()["stdlib"])')
# A build folder of its own, so a benchmark run leaves the release build as it was.
bench: bootstrap
	@cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DTYMBE_BUILD_BENCH=ON -DTYMBE_BUILD_TESTS=OFF \
	  -DPython3_EXECUTABLE=$(PYTHON) >/dev/null
	@cmake --build $(BENCH) -j $(JOBS) -- --no-print-directory
	$(BENCH)/bench/tymbe_parser_bench $(STDLIB) 3
	$(BENCH)/bench/tymbe_extraction_bench $(STDLIB)
	PYTHONPATH=$(CURDIR)/$(BENCH)/python $(PYTHON) bench/index_bench.py --corpus $(STDLIB)

clean:
	rm -rf build
