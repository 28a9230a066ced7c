# Writes the time the build's sources stand for, in seconds since 1970, to
# OUT, and touches OUT only when it changes (the programs relink then):
# SOURCE_DATE_EPOCH when the environment gives it (a release builds from an
# exported tree), else the time of the commit checked out in SOURCE_DIR,
# else 0 (a tree without its history).
#   cmake -DSOURCE_DIR=... -DOUT=... -P SourceEpoch.cmake
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 0)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: ${epoch}")
endif()
set(old "")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL "${epoch}\n")
  file(WRITE ${OUT} "${epoch}\n")
endif()
