# Runs gmgather on the example data set in a fresh scratch folder, answering the prompt
# with the definition file's name, and tells where the six result files are.
#   cmake -DGMGATHER=<program> -DEXAMPLE=<example folder> -DSCRATCH=<scratch folder> -P run_example.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(COPY "${EXAMPLE}/" DESTINATION "${SCRATCH}")
file(WRITE "${SCRATCH}/.answer" "def.csv\r\n")
execute_process(
  COMMAND "${GMGATHER}"
  WORKING_DIRECTORY "${SCRATCH}"
  INPUT_FILE "${SCRATCH}/.answer"
  RESULT_VARIABLE status)
file(REMOVE "${SCRATCH}/.answer")
message("")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gmgather ended with exit status ${status}")
endif()
file(GLOB results "${SCRATCH}/*.csv")
list(REMOVE_ITEM results "${SCRATCH}/def.csv")
message("The six result files are in ${SCRATCH}:")
foreach(f ${results})
  get_filename_component(name "${f}" NAME)
  message("  ${name}")
endforeach()
