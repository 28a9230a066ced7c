# Istrel.exe and Quenlet.exe import only the DLLs in cmake/system-dlls.txt;
# a program that imports another fails its build (and make deletes it).
#
#   istrel_check_imports(TARGET)   after add_executable: a POST_BUILD step
#   cmake -DOBJDUMP=... -DPROGRAM=... -P SystemImports.cmake   the step itself

set(ISTREL_SYSTEM_DLLS ${CMAKE_CURRENT_LIST_DIR}/system-dlls.txt)

if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
  endif()
  file(STRINGS ${ISTREL_SYSTEM_DLLS} allowed REGEX "^[^#]")
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  get_filename_component(shown ${PROGRAM} NAME)
  set(bad "")
  foreach(line ${imports})
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(TOLOWER "${dll}" name)
    set(found FALSE)
    foreach(pattern ${allowed})
      string(REPLACE "." "\\." regex "${pattern}")
      string(REPLACE "*" ".*" regex "${regex}")
      if(name MATCHES "^${regex}$")
        set(found TRUE)
      endif()
    endforeach()
    if(NOT found)
      message(NOTICE "error: ${shown} imports ${dll}, which is no KnownDLL: Windows would look "
                     "for it in the program's folder first. Load it at run time from the system "
                     "folder instead (allowed imports: cmake/system-dlls.txt).")
      list(APPEND bad ${dll})
    endif()
  endforeach()
  if(bad)
    message(FATAL_ERROR "${shown}: imports outside cmake/system-dlls.txt")
  endif()
  return()
endif()

function(istrel_check_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
            -P ${CMAKE_SOURCE_DIR}/cmake/SystemImports.cmake
    VERBATIM)
endfunction()
