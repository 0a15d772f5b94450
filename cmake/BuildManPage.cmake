# Build step for one man page, run with `cmake -P`: fills the project's values into
# the scdoc source, turns it into roff and compresses it as Debian wants (gzip -9n,
# no name or time stamp, so the same source gives the same bytes).
# Inputs: VALUES (the configured values file), SOURCE (man/<page>.<section>.scd) and
# OUTPUT_DIR; writes <page>.<section> and <page>.<section>.gz there.
include(${VALUES})

get_filename_component(page ${SOURCE} NAME_WLE)
file(READ ${SOURCE} text)
string(CONFIGURE "${text}" text @ONLY)
file(WRITE ${OUTPUT_DIR}/${page}.scd "${text}")

# scdoc dates the page from SOURCE_DATE_EPOCH.
set(ENV{SOURCE_DATE_EPOCH} ${QUEN_DATE_EPOCH})
execute_process(
    COMMAND ${SCDOC_EXECUTABLE}
    INPUT_FILE ${OUTPUT_DIR}/${page}.scd
    OUTPUT_FILE ${OUTPUT_DIR}/${page}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
execute_process(
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${OUTPUT_DIR}/${page}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${OUTPUT_DIR}/${page}")
endif()
