# Writes OUT, a source file that tells which revision of the sources was
# built: the git short hash, "+changes" when the working tree differs from
# it, "unknown" outside a git checkout. Run at every build; the file is only
# rewritten when the text changes, so an unchanged tree rebuilds nothing.
find_package(Git QUIET)
set(revision "unknown")
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=9 HEAD
                  OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND hash)
    set(revision "${hash}")
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} diff --quiet HEAD --
                    RESULT_VARIABLE changed OUTPUT_QUIET ERROR_QUIET)
    if(changed EQUAL 1)
      string(APPEND revision "+changes")
    endif()
  endif()
endif()
set(text "// Written by cmake/Revision.cmake at build time.\n#include \"core/Version.h\"\n\nnamespace zorvik {\nconst char* const kRevision = \"${revision}\";\n}  // namespace zorvik\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
