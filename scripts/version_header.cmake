# Writes the version header the programs print for --version: the project's
# version and, in a git checkout, the commit being built. Run at every build
# (not only at configure time) so that a new commit shows without
# reconfiguring; the header is rewritten only when its text changes, so an
# unchanged commit rebuilds nothing.
#
#   cmake -DSOURCE_DIR=... -DOUTPUT=.../murl13_version.h -DVERSION=1.2.3 -P version_header.cmake

set(text "${VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND commit MATCHES "^[0-9a-f]+$")
    set(text "${VERSION} (git ${commit})")
  endif()
endif()
set(content "// Made by scripts/version_header.cmake at build time.\n#pragma once\n#define MURL13_VERSION \"${text}\"\n")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
