# The programs' versions, from VERSION at the top of the tree: one line
# "Name a.b.c.d" per program. They reach the code and the .rc files through
# the generated header ProductVersion.h (target istrel_version):
#   ISTREL_VERSION_NUMBERS  4,3,0,0     for FILEVERSION and PRODUCTVERSION
#   ISTREL_VERSION_TEXT     "4.3.0.0"   for the string tables and the code
# and the same with QUENLET_. The programs' manifests (*.manifest.in) get
# their version there too, beside the header.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION version_lines REGEX "^[A-Za-z]+ ")
set(ISTREL_VERSION_DEFINES "")
foreach(program Istrel Quenlet)
  set(number "")
  foreach(line ${version_lines})
    if(line MATCHES "^${program} +([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+) *$")
      set(number "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
      set(commas "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
    endif()
  endforeach()
  if(number STREQUAL "")
    message(FATAL_ERROR "VERSION: no line \"${program} a.b.c.d\"")
  endif()
  string(TOUPPER ${program} upper)
  set(${upper}_VERSION ${number})
  string(APPEND ISTREL_VERSION_DEFINES
         "#define ${upper}_VERSION_NUMBERS ${commas}\n"
         "#define ${upper}_VERSION_TEXT \"${number}\"\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/version/ProductVersion.h
     CONTENT "// Generated from VERSION by cmake/Version.cmake.\n#pragma once\n${ISTREL_VERSION_DEFINES}")
configure_file(${CMAKE_SOURCE_DIR}/installer/resources/Istrel.manifest.in
               ${CMAKE_BINARY_DIR}/version/Istrel.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/tool/Quenlet.manifest.in
               ${CMAKE_BINARY_DIR}/version/Quenlet.manifest @ONLY)
add_library(istrel_version INTERFACE)
target_include_directories(istrel_version INTERFACE ${CMAKE_BINARY_DIR}/version)
