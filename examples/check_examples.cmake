# Remakes the samples into a scratch directory and fails when they differ from the committed
# ones, so examples/ always holds what make_examples makes.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
# EMULATOR runs a cross-built program (Wine); empty in a native build.
execute_process(COMMAND ${EMULATOR} "${MAKE_EXAMPLES}" "${SCRATCH}" RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_examples failed: ${result}")
endif()
foreach(name single.DAT twin.DAT)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SCRATCH}/${name}"
                  "${EXAMPLES}/${name}" RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "examples/${name} is not what make_examples makes")
  endif()
endforeach()
