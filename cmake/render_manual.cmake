# Renders the manual page PAGE as plain UTF-8 text into TEXT, for systems without man: through
# groff where it is installed (no hyphenation, no overstriking or colour codes), else the page
# source as it is, which is still readable.
find_program(GROFF groff)
if(GROFF)
  execute_process(
    COMMAND ${GROFF} -man -Tutf8 -rHY=0 -P-cbou ${PAGE}
    OUTPUT_FILE ${TEXT}
    RESULT_VARIABLE status
    ERROR_QUIET)
  if(status EQUAL 0)
    return()
  endif()
endif()
configure_file(${PAGE} ${TEXT} COPYONLY)
