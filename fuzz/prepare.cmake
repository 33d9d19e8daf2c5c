# Makes fresh seed and corpus folders for the fuzz tests (one corpus for each
# target) and writes the seeds.
# Run with -DFOLDER=<fuzz folder> -DSEEDS=<palmdb-fuzz-seeds program>, and
# -DSEED_OPTIONS=<its options> when it takes any.
file(REMOVE_RECURSE "${FOLDER}/seeds" "${FOLDER}/corpus" "${FOLDER}/corpus-files")
file(MAKE_DIRECTORY "${FOLDER}/seeds" "${FOLDER}/corpus" "${FOLDER}/corpus-files")
execute_process(COMMAND "${SEEDS}" ${SEED_OPTIONS} "${FOLDER}/seeds" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "writing the seeds failed: ${result}")
endif()
