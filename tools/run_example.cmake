# Runs gmgather on the shipped example in a fresh scratch folder, as a user runs it from
# a shell: the definition file on the command line (no prompt, nothing to type), with the
# report page. Then tells where the result files are.
#   cmake -DGMGATHER=<program> -DEXAMPLE=<example folder> -DSCRATCH=<scratch folder> -P run_example.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(COPY "${EXAMPLE}/" DESTINATION "${SCRATCH}")
message("Running: gmgather --report def.csv  (in ${SCRATCH})")
execute_process(
  COMMAND "${GMGATHER}" --report def.csv
  WORKING_DIRECTORY "${SCRATCH}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gmgather ended with exit status ${status}")
endif()
file(GLOB results "${SCRATCH}/*.csv" "${SCRATCH}/*.html")
list(REMOVE_ITEM results "${SCRATCH}/def.csv")
list(SORT results)
message("gmgather ended with exit status 0. The result files are in ${SCRATCH}:")
foreach(f ${results})
  get_filename_component(name "${f}" NAME)
  message("  ${name}")
endforeach()
message("Open the report page (the .html file) in a browser to see the run.")
