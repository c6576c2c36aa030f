# Runs lupdate over the sources into a copy of a translation and fails when a text has no
# translation yet, so a new tr() text cannot ship untranslated.
#   cmake -DLUPDATE=… -DSOURCES=… -DTS=… -DWORK=… -P CheckComplete.cmake
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(name "${TS}" NAME)
configure_file("${TS}" "${WORK}/${name}" COPYONLY)
execute_process(COMMAND "${LUPDATE}" -no-obsolete -locations none "${SOURCES}" -ts "${WORK}/${name}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}")
endif()
file(STRINGS "${WORK}/${name}" unfinished REGEX "type=\"unfinished\"")
list(LENGTH unfinished count)
if(count GREATER 0)
    message(FATAL_ERROR "${name}: ${count} text(s) without a translation; run the update_translations target and translate them")
endif()
