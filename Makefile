# The two commands a newcomer needs. Both install what is missing first.
.PHONY: run test

EXPRESSION ?= "search engine" and (robot or spider) and not advert

run:
	scripts/install-deps
	cmake --preset default
	cmake --build --preset default
	@echo
	@echo 'zorvik-search match -e '\''$(EXPRESSION)'\'' examples/pages/*'
	@build/bin/zorvik-search match -e '$(EXPRESSION)' examples/pages/*.htm; \
	  status=$$?; [ $$status -le 1 ] || exit $$status

test:
	scripts/install-deps
	cmake --preset default
	cmake --build --preset default
	ctest --preset default
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
