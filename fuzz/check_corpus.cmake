# Remakes the seed corpus into a scratch directory and fails when it differs from the
# committed one, so fuzz/corpus always holds what make_corpus makes.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
# EMULATOR runs a cross-built program (Wine); empty in a native build.
execute_process(COMMAND ${EMULATOR} "${MAKE_CORPUS}" "${SCRATCH}" RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_corpus failed: ${result}")
endif()
file(GLOB made RELATIVE "${SCRATCH}" "${SCRATCH}/*")
file(GLOB committed RELATIVE "${CORPUS}" "${CORPUS}/*")
list(SORT made)
list(SORT committed)
if(NOT made STREQUAL committed)
  message(FATAL_ERROR "fuzz/corpus holds other files than make_corpus makes")
endif()
foreach(name IN LISTS made)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SCRATCH}/${name}"
                  "${CORPUS}/${name}" RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "fuzz/corpus/${name} is not what make_corpus makes")
  endif()
endforeach()
