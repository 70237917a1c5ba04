# The two commands of the README: `make demo` and `make test`. Both install what is missing first.
SHELL := /bin/bash
FUZZ_SECONDS ?= 12

.PHONY: all deps check-layers theatres native win32 asan tsan fuzz bench test test-native test-asan test-tsan test-win32 test-fuzz demo \
	demo-deps demo-programs release installer deb clean flightgear-test

all: native

deps:
	@scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

# The Windows build compiles libdeflate from Debian's source package (scripts/fetch-libdeflate.sh): fetched here,
# for this build alone, so that the portable build and the demo do not wait for it.
win32: deps
	scripts/fetch-libdeflate.sh build/deps/libdeflate
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan

tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

# Each figure beside its baseline of the same run (the PNG encoder before libdeflate and Cairo's PNG writer, every tag
# drawn), with the load it met.
bench: native
	@echo "bench: load average $$(cut -d' ' -f1-3 /proc/loadavg) at the start"
	build/native/bench/kestrel_bench
	build/native/bench/kestrel_scale_bench
	@echo "bench: load average $$(cut -d' ' -f1-3 /proc/loadavg) at the end"

# The sanitizer runs take every test of our code; the theatre scripts (label "script") run none of it, and the
# Debian package's test (label "package") packs the native build.
test-asan: asan theatres
	ctest --preset asan -j2 -LE 'script|package'

test-tsan: tsan theatres
	ctest --preset tsan -j2 -LE 'script|package'

test-win32: win32
	scripts/run-wine-tests.sh

test-fuzz: fuzz
	scripts/run-fuzzers.sh $(FUZZ_SECONDS)

theatres: deps
	tools/theatres/make-theatres.sh build/theatres

test-native: native theatres
	ctest --preset native -j2

# No include may run up the floors of docs/ARCHITECTURE.md or in a circle: checked first, in a second.
check-layers:
	scripts/check-layers.sh

# Every build and every test; the native run comes last so that its CTest summary closes the output.
test: check-layers test-win32 test-fuzz test-tsan test-asan test-native

# The demo's packages: those of `make test`, but not the Windows build's header, fetched over the network.
demo-deps:
	@scripts/install-deps.sh --demo

# Only the display and the feed, in a build of their own (preset demo, build/demo-build: no test programs, -O1 without
# debug information, the common standard headers precompiled, warnings not fatal: -O1 finds other ones than -O2), so
# that a fresh clone shows its first picture sooner; the test builds never read it. GEORGIA, the theatre the demo flies
# over, renders meanwhile (its tools use one core, the compiler both); scripts/demo.sh renders the other two while the
# display runs.
demo-programs: demo-deps
	tools/theatres/make-theatres.sh build/theatres georgia & theatres=$$!; \
	  cmake --preset demo >/dev/null && cmake --build --preset demo; built=$$?; \
	  wait $$theatres && exit $$built

demo: demo-programs
	scripts/demo.sh

# The zip for Windows pilots: kestrel.exe, its click, the sample theatres, setup.cmd and README.txt.
release: win32 theatres
	scripts/make-release.sh build/release

# KESTREL flown by a real FlightGear, headless (scripts/flightgear-test.sh). Opt-in and no part of `make test`: the
# script installs Debian's flightgear (about 2.6 GB with its data) when it is missing.
flightgear-test: deps theatres
	cmake --preset native >/dev/null
	cmake --build --preset native --target kestrel kestrel-feed kestrel_flightgear_pilot
	scripts/flightgear-test.sh

# The Windows installer (CPack, NSIS): build/release/kestrel-VERSION-setup.exe.
installer: win32 theatres
	scripts/make-installer.sh build/release

# The Debian package (CPack, DEB): build/release/kestrel_VERSION_amd64.deb.
deb: native theatres
	scripts/make-deb.sh build/release

clean:
	rm -rf build
