# The two commands a newcomer needs. Both install what is missing first.
# `make package` builds the Debian package build/zorvik_VERSION-BUILD_amd64.deb.
.PHONY: run test package

EXPRESSION ?= "search engine" and (robot or spider) and not advert

run:
	scripts/install-deps
	cmake --preset default
	cmake --build --preset default
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  build/bin/zorvik; \
	else \
	  echo; \
	  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): the robot runs headless on the demo site instead."; \
	  scripts/demo-crawl '$(EXPRESSION)'; \
	fi

test:
	scripts/install-deps
	cmake --preset default
	cmake --build --preset default
	ctest --preset default
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

package:
	scripts/install-deps
	cmake --preset default
	cmake --build --preset default --target package
