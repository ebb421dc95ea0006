# Orlenta: the two commands are `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test package sanitize bench format clean

all: build

deps:
	@scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Builds, sets up the embedded demo database behind the data source "Orlenta" if there is none,
# and starts the program.
run: build
	@scripts/run.sh $(BUILD)

# The whole suite, on SQLite and on a throwaway PostgreSQL cluster.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j 2

# The Debian package, $(BUILD)/orlenta_<version>_amd64.deb (install it with apt install ./<file>).
package: build
	@cmake --build $(BUILD) --target package

# The whole suite again, on a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own.
SANITIZE_BUILD ?= build-asan
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DORLENTA_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j 2

# Benchmark figures on a cached database of 100,000 students (not a test).
bench: build
	@$(BUILD)/orlenta-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(SANITIZE_BUILD)
