# Same commit, same bytes: whoever builds, in whatever folder, at whatever
# time.
#  - The tree's folder is mapped to "." in everything the compiler writes
#    (file names of diagnostics kept in objects, __FILE__, debug records).
#  - The Windows programs carry a link time in their PE header. Debian's
#    mingw linker takes it from SOURCE_DATE_EPOCH; the programs are linked
#    through cmake/link-at-commit-time, which sets it to the commit's time
#    (or keeps the one given), and relinked when that time changes.
#  - They are finished as a removed signature leaves them (padding, PE
#    checksum: cmake/pe-finish.py), so that a signed program with its
#    signature removed is the built one, byte for byte.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
# A build folder outside the tree (the presets' is inside) goes as well.
string(FIND "${CMAKE_BINARY_DIR}/" "${CMAKE_SOURCE_DIR}/" inside)
if(NOT inside EQUAL 0)
  add_compile_options(-ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()

set(ISTREL_SOURCE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
add_custom_target(istrel_source_epoch
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUT=${ISTREL_SOURCE_EPOCH_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/SourceEpoch.cmake
  BYPRODUCTS ${ISTREL_SOURCE_EPOCH_FILE}
  VERBATIM)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# istrel_reproducible(TARGET): a shipped Windows program; its link time is
# the commit's, and it is finished for signing.
function(istrel_reproducible target)
  add_dependencies(${target} istrel_source_epoch)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ISTREL_SOURCE_EPOCH_FILE})
  set_property(TARGET ${target} PROPERTY RULE_LAUNCH_LINK
               "${CMAKE_SOURCE_DIR}/cmake/link-at-commit-time ${ISTREL_SOURCE_EPOCH_FILE}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/pe-finish.py $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
