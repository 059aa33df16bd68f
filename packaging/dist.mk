# Installing, and the release packages in dist/ with their tests. Included by the Makefile.
#
#   make install [PREFIX=/usr/local] [DESTDIR=]   ondrel, the module, man page and completion
#   make dist        dist/: the .deb, the Windows zip and installer, the macOS zip, SHA256SUMS
#   make deb         dist/: the .deb alone, for this machine's Debian release
#   make other-release-deb   adds the other Debian release's .deb to dist/, built in a new root
#   make test-dist   make dist, then test the files in dist/ (packaging/tests/test-dist.sh)

PREFIX ?= /usr/local
DIST := dist
# Packages are made from the release build, whatever PRESET says.
DIST_BUILD := build/release
# Debian packages that make the packages: dpkg-shlibdeps (dpkg-dev) and file for the .deb's
# Depends, NSIS for the Windows installer.
DIST_PACKAGES := dpkg-dev file nsis
# ... and those that test them: lintian, and mmdebstrap for a new Debian 12 root.
TEST_DIST_PACKAGES := lintian mmdebstrap
# Where the tests keep the base Debian root and the packages apt downloads, between runs.
DIST_TEST_CACHE := build/dist-test
# ... and the roots that other-release-deb builds in.
DIST_BUILD_CACHE := build/dist-build

.PHONY: install dist deb other-release-deb test-dist

install:
	@$(MAKE) --no-print-directory build PRESET=release
	DESTDIR="$(DESTDIR)" cmake --install $(DIST_BUILD) --prefix "$(PREFIX)" --strip

dist:
	@$(MAKE) --no-print-directory deps PACKAGES="$(DIST_PACKAGES)"
	@$(MAKE) --no-print-directory build PRESET=release
	@$(MAKE) --no-print-directory windows
	cmake --build --preset windows --target windows_setup
	rm -rf $(DIST) $(DIST_BUILD)/cpack build/windows/cpack
	cpack --config $(DIST_BUILD)/CPackConfig.cmake -B $(CURDIR)/$(DIST_BUILD)/cpack
	cpack --config build/windows/CPackConfig.cmake -B $(CURDIR)/build/windows/cpack
	mkdir -p $(DIST)
	cp $(DIST_BUILD)/cpack/*.deb build/windows/cpack/*.zip \
	    build/windows/packaging/OndrelShapes-$(VERSION)-windows-x64-setup.exe $(DIST)/
	@$(MAKE) --no-print-directory mac-zip
	cd $(DIST) && sha256sum $$(ls | grep -vx SHA256SUMS) > SHA256SUMS
	@ls -l $(DIST)

deb:
	@$(MAKE) --no-print-directory deps PACKAGES="$(DIST_PACKAGES)"
	@$(MAKE) --no-print-directory build PRESET=release
	rm -rf $(DIST_BUILD)/cpack
	cpack --config $(DIST_BUILD)/CPackConfig.cmake -B $(CURDIR)/$(DIST_BUILD)/cpack
	mkdir -p $(DIST)
	cp $(DIST_BUILD)/cpack/*.deb $(DIST)/

# The other release's package, built from the committed HEAD in a new root of that release (after
# make dist, which empties dist/ first).
other-release-deb:
	@$(MAKE) --no-print-directory deps PACKAGES="$(TEST_DIST_PACKAGES) git"
	packaging/other-release-deb.sh $(DIST) $(DIST_BUILD_CACHE)

test-dist: dist
	@$(MAKE) --no-print-directory deps PACKAGES="$(TEST_DIST_PACKAGES)"
	packaging/tests/test-dist.sh $(VERSION) $(DIST) $(DIST_BUILD) build/windows \
	    $(DIST_TEST_CACHE)
